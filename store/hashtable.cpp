#include "store/hashtable.h"

#include "store/memory.h"

#include <cstdio>

int32_t creationCounter = 0;

State::State() : serial(creationCounter)
{
    // Wraps instead of overflowing after 2^31 constructions.
    creationCounter = int32_t(uint32_t(creationCounter) + 1u);
}

State::~State() = default;

int State::type() const
{
    return 0;
}

void State::Print(int) const {}

HNode::HNode(State* item_, HNode* next_)
    : HNode(item_, next_, item_ != nullptr ? item_->hash_key() : 0)
{
}

HNode::HNode(State* item_, HNode* next_, uint32_t key_)
    : item(item_), next(next_), hits(0), key(key_)
{
}

void* HNode::operator new(std::size_t size)
{
    return tavi_memory::poolAllocate(size);
}

void HNode::operator delete(void* p, std::size_t size) noexcept
{
    tavi_memory::poolRelease(p, size);
}

HNode::~HNode()
{
    delete item;
    item = nullptr;
    // Detach and destroy the rest of the chain one node at a time, so that a
    // chain of any length is destroyed without deep recursion.
    while (next != nullptr) {
        HNode* victim = next;
        next = victim->next;
        victim->next = nullptr;
        delete victim;
    }
}

HashTable::HashTable(int size_)
    : buckets(nullptr), size(size_ > 0 ? size_ : 1), count(0), iterBucket(0), iterNode(nullptr)
{
    buckets = new HNode*[size_t(size)]();
}

HashTable::~HashTable()
{
    for (int32_t b = 0; b < size; ++b)
        delete buckets[b];
    delete[] buckets;
}

State* HashTable::IsIn(const State* probe) const
{
    const uint32_t key = probe->hash_key();
    for (HNode* node = buckets[key % uint32_t(size)]; node != nullptr; node = node->next) {
        if (node->key == key && node->item->equals(probe)) {
            node->hits += 1;
            return node->item;
        }
    }
    return nullptr;
}

void HashTable::Add(State* item)
{
    const uint32_t key = item->hash_key();
    HNode*& head = buckets[key % uint32_t(size)];
    head = new HNode(item, head, key);
    count += 1;
}

void HashTable::Remove(const State* probe)
{
    if (IsIn(probe) == nullptr)
        return;
    const uint32_t key = probe->hash_key();
    HNode** link = &buckets[key % uint32_t(size)];
    while (*link != nullptr && !((*link)->key == key && (*link)->item->equals(probe)))
        link = &(*link)->next;
    HNode* victim = *link;
    *link = victim->next;
    victim->next = nullptr;
    delete victim;
    count -= 1;
}

void HashTable::Clear()
{
    count = 0;
    for (int32_t b = 0; b < size; ++b) {
        delete buckets[b];
        buckets[b] = nullptr;
    }
}

void HashTable::iterReset()
{
    iterBucket = 0;
    iterNode = nullptr;
    for (int32_t b = 0; b < size; ++b) {
        if (buckets[b] != nullptr) {
            iterBucket = b;
            iterNode = buckets[b];
            return;
        }
    }
}

State* HashTable::iterNext()
{
    if (iterNode == nullptr)
        return nullptr;
    State* result = iterNode->item;
    if (iterNode->next != nullptr) {
        iterNode = iterNode->next;
        return result;
    }
    iterNode = nullptr;
    for (int32_t b = iterBucket + 1; b < size; ++b) {
        if (buckets[b] != nullptr) {
            iterBucket = b;
            iterNode = buckets[b];
            break;
        }
    }
    return result;
}

void HashTable::PrintStats() const
{
    int32_t top[10] = {};
    int32_t min = count;
    int32_t max = 0;
    for (int32_t b = 0; b < size; ++b) {
        int32_t n = 0;
        for (const HNode* node = buckets[b]; node != nullptr; node = node->next) {
            n += 1;
            for (int j = 0; j < 10; ++j) {
                if (node->hits > top[j]) {
                    for (int k = 9; k > j; --k)
                        top[k] = top[k - 1];
                    top[j] = node->hits;
                    break;
                }
            }
        }
        if (n < min)
            min = n;
        if (n > max)
            max = n;
    }
    printf("There are %d items in the table.\n", int(count));
    fflush(stdout);
    printf("Minimum keys in bucket: %d\n", int(min));
    fflush(stdout);
    printf("Maximum keys in bucket: %d\n", int(max));
    fflush(stdout);
    printf("Average keys in bucket: %d\n", int(count / size));
    fflush(stdout);
    printf("Ten best Hit count:\n");
    fflush(stdout);
    for (int i = 1; i <= 10; ++i) {
        printf("%d: %d\n", i, int(top[i - 1]));
        fflush(stdout);
    }
}
