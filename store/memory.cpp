#include "store/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define TAVI_PLAIN_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVI_PLAIN_ALLOCATION 1
#endif
#endif

namespace tavi_memory {

namespace {

constexpr std::size_t kSlabSize = 64 * 1024;
constexpr std::size_t kSlabsPerChunk = 32;
constexpr std::size_t kMaxPooled = 256;
constexpr std::size_t kClasses = kMaxPooled / 8 + 1;
constexpr std::size_t kHeader = 64; // room for a slab's header

#ifndef TAVI_PLAIN_ALLOCATION
struct FreeSlot {
    FreeSlot* next;
};

// The header at the start of every slab.
struct Slab {
    std::size_t slotSize; // 0 while the slab holds strings
    std::size_t live;     // records in use
    FreeSlot* freeList;   // released records
    char* bump;           // start of the never-used rest
    Slab* prev;           // in the list of slabs of this size with room
    Slab* next;
    bool listed;
};

static_assert(sizeof(Slab) <= kHeader);

char* slabStart(Slab* s)
{
    return reinterpret_cast<char*>(s) + kHeader;
}

char* slabEnd(Slab* s)
{
    return reinterpret_cast<char*>(s) + kSlabSize;
}

Slab* slabOf(void* p)
{
    return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(p) &
                                   ~std::uintptr_t(kSlabSize - 1));
}

// Unused slabs: those never used yet in the current chunk, then those that
// were given back.
char* chunkNext = nullptr;
char* chunkEnd = nullptr;
Slab* emptySlabs = nullptr;

Slab* current[kClasses] = {};  // the slab each size allocates from
Slab* withRoom[kClasses] = {}; // other slabs of that size with released slots

// A chunk of slabs, aligned to its own size. Where the system offers huge
// pages on request, the chunk asks for one: filling a fresh chunk then
// costs one fault instead of one per small page, which is most of the cost
// of a first load. It is populated at once either way.
char* mapChunk()
{
    constexpr std::size_t bytes = kSlabsPerChunk * kSlabSize;
    auto* raw = static_cast<char*>(
        mmap(nullptr, 2 * bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    auto* aligned = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(raw) + bytes - 1) &
                                            ~std::uintptr_t(bytes - 1));
    if (aligned > raw)
        munmap(raw, std::size_t(aligned - raw));
    munmap(aligned + bytes, std::size_t(raw + 2 * bytes - (aligned + bytes)));
#ifdef MADV_HUGEPAGE
    madvise(aligned, bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    if (madvise(aligned, bytes, MADV_POPULATE_WRITE) != 0)
#endif
    {
        const long page = sysconf(_SC_PAGESIZE);
        for (std::size_t i = 0; i < bytes; i += std::size_t(page > 0 ? page : 4096))
            aligned[i] = 0;
    }
    return aligned;
}

Slab* takeSlab(std::size_t slotSize)
{
    Slab* s = emptySlabs;
    if (s != nullptr) {
        emptySlabs = s->next;
    } else {
        if (chunkNext == chunkEnd) {
            // Slabs are aligned to their size (the chunk is aligned to its
            // own), so a record finds its slab from its own address.
            chunkNext = mapChunk();
            chunkEnd = chunkNext + kSlabsPerChunk * kSlabSize;
        }
        s = reinterpret_cast<Slab*>(chunkNext);
        chunkNext += kSlabSize;
    }
    s->slotSize = slotSize;
    s->live = 0;
    s->freeList = nullptr;
    s->bump = slabStart(s);
    s->prev = nullptr;
    s->next = nullptr;
    s->listed = false;
    return s;
}

void giveBackSlab(Slab* s)
{
    s->next = emptySlabs;
    emptySlabs = s;
}

void unlist(Slab* s, std::size_t cls)
{
    if (!s->listed)
        return;
    if (s->prev != nullptr)
        s->prev->next = s->next;
    else
        withRoom[cls] = s->next;
    if (s->next != nullptr)
        s->next->prev = s->prev;
    s->prev = s->next = nullptr;
    s->listed = false;
}

void list(Slab* s, std::size_t cls)
{
    s->prev = nullptr;
    s->next = withRoom[cls];
    if (s->next != nullptr)
        s->next->prev = s;
    withRoom[cls] = s;
    s->listed = true;
}

#endif

} // namespace

void* poolAllocate(std::size_t size)
{
#ifdef TAVI_PLAIN_ALLOCATION
    return ::operator new(size);
#else
    const std::size_t rounded = (size + 7) & ~std::size_t(7);
    if (rounded == 0 || rounded > kMaxPooled)
        return ::operator new(size);
    const std::size_t cls = rounded / 8;
    for (;;) {
        Slab* s = current[cls];
        if (s != nullptr) {
            if (FreeSlot* slot = s->freeList) {
                s->freeList = slot->next;
                s->live += 1;
                return slot;
            }
            if (std::size_t(slabEnd(s) - s->bump) >= rounded) {
                void* p = s->bump;
                s->bump += rounded;
                s->live += 1;
                return p;
            }
        }
        // The current slab is full: continue in one with released slots, or
        // in an unused one.
        Slab* next = withRoom[cls];
        if (next != nullptr)
            unlist(next, cls);
        else
            next = takeSlab(rounded);
        current[cls] = next;
    }
#endif
}

void poolRelease(void* p, std::size_t size) noexcept
{
    if (p == nullptr)
        return;
#ifdef TAVI_PLAIN_ALLOCATION
    (void)size;
    ::operator delete(p);
#else
    const std::size_t rounded = (size + 7) & ~std::size_t(7);
    if (rounded == 0 || rounded > kMaxPooled) {
        ::operator delete(p);
        return;
    }
    const std::size_t cls = rounded / 8;
    Slab* s = slabOf(p);
    s->live -= 1;
    if (s->live == 0) {
        // Wholly free: start it afresh, so that it fills in address order.
        unlist(s, cls);
        s->freeList = nullptr;
        s->bump = slabStart(s);
        if (s != current[cls])
            giveBackSlab(s);
        return;
    }
    auto* slot = static_cast<FreeSlot*>(p);
    slot->next = s->freeList;
    s->freeList = slot;
    if (s != current[cls] && !s->listed)
        list(s, cls);
#endif
}

StringArena::~StringArena()
{
#ifdef TAVI_PLAIN_ALLOCATION
    for (void* s : slabs)
        std::free(s);
#else
    for (void* s : slabs)
        giveBackSlab(static_cast<Slab*>(s));
#endif
    for (void* p : large)
        std::free(p);
}

char* StringArena::reserve(std::size_t bytes, std::size_t align)
{
    auto aligned = [align](char* p) {
        const auto a = reinterpret_cast<std::uintptr_t>(p);
        return reinterpret_cast<char*>((a + align - 1) & ~std::uintptr_t(align - 1));
    };
    if (next != nullptr) {
        char* p = aligned(next);
        if (p <= limit && std::size_t(limit - p) >= bytes) {
            next = p;
            return p;
        }
    }
    if (bytes + align > kSlabSize - kHeader) {
        // Larger than a slab: a block of its own; the current slab stays.
        auto* block = static_cast<char*>(std::malloc(bytes + align));
        if (block == nullptr)
            throw std::bad_alloc();
        large.push_back(block);
        char* p = aligned(block);
        // commit() advances `next`; keep it on this block until then.
        next = p;
        limit = p + bytes;
        return p;
    }
#ifdef TAVI_PLAIN_ALLOCATION
    auto* block = static_cast<char*>(std::malloc(kSlabSize));
    if (block == nullptr)
        throw std::bad_alloc();
    slabs.push_back(block);
    next = aligned(block);
    limit = block + kSlabSize;
#else
    Slab* s = takeSlab(0);
    slabs.push_back(s);
    next = aligned(slabStart(s));
    limit = slabEnd(s);
#endif
    return next;
}

} // namespace tavi_memory
