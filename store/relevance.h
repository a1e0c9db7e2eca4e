#pragma once
// How search results and look-ups order entries of equal standing: the more
// common character first (kFrequency 1 first, none last), then the lower
// school grade, then fewer strokes, then the lower code point.

#include <cstddef>
#include <cstdint>
#include <vector>

class dictionary;
class characterEntry;

namespace dictsearch {

class Relevance {
public:
    explicit Relevance(const dictionary& d);

    // A key that sorts entries in the order above (smaller first); entries
    // with equal keys are ordered by their position.
    uint64_t key(const characterEntry* e) const;

private:
    int frequency;
    int grade;
    int strokes;
};

// The fields whose values are Mandarin readings in pinyin.
std::vector<int> pinyinFields(const dictionary& d);

} // namespace dictsearch
