// Large blocks for the libFuzzer binaries: a store allocates a few blocks of
// hundreds of KiB (hash buckets, key bitmap, value cache) for every input.
// The sanitizer's allocator maps such blocks afresh each time, and the page
// faults cost more than the rest of a run. Freed large blocks are kept here,
// poisoned, and handed out again for the same size; a stray access to a
// kept block is still reported (as use-after-poison).

#include <sanitizer/asan_interface.h>

#include <malloc.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kLarge = 64 * 1024;
constexpr int kKept = 16;

struct Kept {
    void* block;
    std::size_t size;
};
Kept g_kept[kKept];
int g_count = 0;

void* allocate(std::size_t size)
{
    if (size >= kLarge) {
        for (int i = 0; i < g_count; ++i) {
            if (g_kept[i].size == size) {
                void* block = g_kept[i].block;
                g_kept[i] = g_kept[--g_count];
                ASAN_UNPOISON_MEMORY_REGION(block, size);
                return block;
            }
        }
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void release(void* block)
{
    if (block == nullptr)
        return;
    const std::size_t size = malloc_usable_size(block);
    if (size >= kLarge && g_count < kKept) {
        ASAN_POISON_MEMORY_REGION(block, size);
        g_kept[g_count++] = Kept{block, size};
        return;
    }
    std::free(block);
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* block) noexcept
{
    release(block);
}

void operator delete[](void* block) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    release(block);
}
