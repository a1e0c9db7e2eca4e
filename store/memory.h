#pragma once

// Memory for the store's many small records and strings.
//
// Records and strings live in 64 KiB slabs carved from large mapped chunks.
// That avoids a malloc header per record, maps memory in large steps, and
// keeps records made one after the other next to each other, which matters
// more than anything else for the speed of a load: the loader writes some
// hundreds of thousands of records, and scattered writes would each wait for
// main memory. A slab whose records are all released goes back to a common
// list and is used again, by any size, from its start.
//
// Single-threaded, like the rest of the store. Under AddressSanitizer every
// request goes to the ordinary allocator, so the sanitizer sees each record.

#include <cstddef>
#include <vector>

namespace tavi_memory {

// Fixed-size records (up to 256 bytes; larger ones use operator new).
void* poolAllocate(std::size_t size);
void poolRelease(void* p, std::size_t size) noexcept;

// Bump allocation of strings that live as long as their owner.
class StringArena {
public:
    StringArena() = default;
    ~StringArena();
    StringArena(const StringArena&) = delete;
    StringArena& operator=(const StringArena&) = delete;

    // At least `bytes` bytes at an address aligned to `align` (1, 2 or 4);
    // commit() then keeps the part that was used.
    char* reserve(std::size_t bytes, std::size_t align = 1);
    void commit(std::size_t used) { next += used; }

private:
    std::vector<void*> slabs;
    std::vector<void*> large;
    char* next = nullptr;
    char* limit = nullptr;
};

} // namespace tavi_memory
