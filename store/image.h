#pragma once
// The shipped dictionary in a compact form, made at build time from
// dictionary.txt by loading it: "dictionary.dat" beside it. Loading the form
// is a check of its bounds and one pass over its entries, with no parsing
// and no text conversion; the values' texts and displays stay in the mapped
// file. The text file stays the source: the form names the text it was made
// of by its size and a hash of its bytes, and is used only with that text.
//
// File layout, numbers in the machine's byte order (a marker says which):
//   header   "TAVIDIC1", marker 0x01020304, the forms' size Z, the text's
//            size and hash (64 bits each), then the counts F E C V, the
//            names' size N, the strings' size S
//   fields   F x (name offset, name length, width of the widest display)
//   entries  E + 1 x (first code, first value): entry i has the codes and
//            values up to those of entry i + 1
//   codes    C x code point
//   values   V x (field, offset of its strings)
//   names    N bytes, then zeros to a multiple of 8
//   strings  S bytes: each value's header, text and display, as the store
//            keeps them in memory (dictValue::Strings), then zeros to a
//            multiple of 8
//   forms    Z bytes: the search forms of the entries' characters and of
//            each field (dictsearch::SearchIndex::formsImage)

#include <QByteArray>
#include <QString>

#include <cstdint>

class dictionary;

// Which text an image was made of.
struct TextStamp {
    uint64_t size = 0;
    uint64_t hash = 0;
    bool operator==(const TextStamp&) const = default;
};

// The stamp of the text file at `path`; false when it cannot be read.
bool stampOfText(const char* path, TextStamp* stamp);

// The form of the dictionary `d` as loaded from the text `source`.
QByteArray makeDictionaryImage(const dictionary& d, const TextStamp& source);
