#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>

// The code points of one key. Nearly every key is a single character and
// most others are a few: up to kInline code points are kept in the list's
// own 16 bytes, and only a longer key takes a block on the heap. A long key
// keeps the block's capacity in cells[0] and its address in cells[1..2].
class CodeList {
public:
    static constexpr uint32_t kInline = 3;

    CodeList() = default;
    CodeList(std::span<const uint32_t> codes) { fill(codes.data(), codes.size()); }
    CodeList(std::initializer_list<uint32_t> codes) { fill(codes.begin(), codes.size()); }
    CodeList(const CodeList& other) { fill(other.data(), other.count); }
    CodeList(CodeList&& other) noexcept : count(other.count)
    {
        std::memcpy(cells, other.cells, sizeof cells);
        other.count = 0;
    }
    CodeList& operator=(const CodeList& other)
    {
        if (this != &other)
            *this = CodeList(other);
        return *this;
    }
    CodeList& operator=(CodeList&& other) noexcept
    {
        if (this != &other) {
            release();
            count = other.count;
            std::memcpy(cells, other.cells, sizeof cells);
            other.count = 0;
        }
        return *this;
    }
    ~CodeList() { release(); }

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const uint32_t* data() const { return count <= kInline ? cells : block(); }
    uint32_t operator[](std::size_t i) const { return data()[i]; }
    const uint32_t* begin() const { return data(); }
    const uint32_t* end() const { return data() + count; }
    uint32_t front() const { return data()[0]; }
    uint32_t back() const { return data()[count - 1]; }

    // Empties the list and gives back a long key's block.
    void clear()
    {
        release();
        count = 0;
    }
    void assign(const uint32_t* first, const uint32_t* last)
    {
        clear();
        fill(first, std::size_t(last - first));
    }
    void push_back(uint32_t code)
    {
        if (count < kInline) {
            cells[count++] = code;
            return;
        }
        if (count == kInline || count == cells[0])
            grow();
        block()[count++] = code;
    }

    operator std::span<const uint32_t>() const { return {data(), count}; }

    friend bool operator==(const CodeList& a, const CodeList& b)
    {
        return a.count == b.count && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator==(const CodeList& a, std::span<const uint32_t> b)
    {
        return a.count == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    uint32_t* block() const
    {
        uint32_t* p;
        std::memcpy(&p, cells + 1, sizeof p);
        return p;
    }
    void setBlock(uint32_t* p, uint32_t capacity)
    {
        cells[0] = capacity;
        std::memcpy(cells + 1, &p, sizeof p);
    }
    // Copies `n` codes into the list, which is empty.
    void fill(const uint32_t* codes, std::size_t n)
    {
        if (n > kInline)
            setBlock(new uint32_t[n], uint32_t(n));
        count = uint32_t(n);
        std::copy_n(codes, n, n > kInline ? block() : cells);
    }
    // Moves the codes into a block of twice their number.
    void grow()
    {
        const uint32_t capacity = count * 2;
        auto* p = new uint32_t[capacity];
        std::copy_n(data(), count, p);
        release();
        setBlock(p, capacity);
    }
    void release() noexcept
    {
        if (count > kInline)
            delete[] block();
    }

    uint32_t count = 0;
    uint32_t cells[kInline] = {};
    static_assert(sizeof(uint32_t*) <= sizeof cells - sizeof cells[0]);
};

static_assert(sizeof(CodeList) == 16);
