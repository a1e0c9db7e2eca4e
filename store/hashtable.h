#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Every State ever constructed takes the next serial number from here.
extern int32_t creationCounter;

// An item of a HashTable: supplies its own hash key and equality.
class State {
public:
    State();
    virtual ~State();

    virtual uint32_t hash_key() const = 0;
    // True when `other` is the same key as this item.
    virtual bool equals(const State* other) const = 0;
    virtual int type() const;
    virtual void Print(int) const;

    int32_t serial;

private:
    Q_DISABLE_COPY_MOVE(State)
};

// One link of a bucket's chain; owns its item and the rest of the chain.
struct HNode {
    HNode(State* item, HNode* next, uint32_t key);
    ~HNode();

    State* item;
    HNode* next;
    int32_t hits; // successful IsIn probes that returned this item
    uint32_t key; // the item's hash_key(): a probe skips other keys unseen

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

private:
    Q_DISABLE_COPY_MOVE(HNode)
};

// A chained hash set of State items. The table owns what it stores.
class HashTable {
public:
    explicit HashTable(int size);
    ~HashTable();

    // The stored item equal to `probe` (which stays the caller's), or null.
    // A successful probe counts a hit on the item found.
    State* IsIn(const State* probe) const;
    // Stores `item` without checking for an equal one; takes ownership.
    void Add(State* item);
    // Destroys the stored item equal to `probe`, if there is one.
    void Remove(const State* probe);
    // Destroys every item; leaves the iteration cursor alone.
    void Clear();

    // One forward walk: ascending bucket, newest item first within a bucket.
    void iterReset();
    bool iterDone() const { return iterNode == nullptr; }
    State* iterNext();

    void PrintStats() const;

    int32_t getCount() const { return count; }
    int32_t getSize() const { return size; }

private:
    Q_DISABLE_COPY_MOVE(HashTable)

    HNode** buckets;
    int32_t size;
    int32_t count;
    int32_t iterBucket;
    HNode* iterNode;
};
