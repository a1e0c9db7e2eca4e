#pragma once

#include "store/hashtable.h"
#include "store/readresult.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class LoadProgress;
namespace tavi_memory {
class StringArena;
}

// Field kinds, from the third column of the field index.
constexpr int32_t kDefinition = 0;
constexpr int32_t kAltCharacter = 1;
constexpr int32_t kRomanization = 2;
constexpr int32_t kMetaText = 3;
constexpr int32_t kMetaNum = 4;

// One field value of one entry.
struct dictValue {
    int32_t field;    // position in dictionary::fields
    QByteArray text;  // the source text, as the user dictionary stores it
    QString display;  // what is shown; null = none
    int32_t modified; // 1 while an edit waits to be saved

    // Values are numerous and small: they come from a pool of fixed slots.
    // Values read from a file have text and display in the dictionary's own
    // string storage (see dictionary), so copies of them are only valid as
    // long as that dictionary exists.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;
};

// One field descriptor, from one line of the field index.
struct dictFields {
    QByteArray name; // the key in dictionary lines, e.g. "kMandarin"
    int32_t kind;    // kDefinition .. kMetaNum, or -1
    uint32_t width;  // display width in characters
    uint32_t code;   // four-character code, first character most significant
    QString title;   // column header, menu text, preference key
    QString description;
    uint32_t flags; // 1: list column, 2: text view
    int32_t inList; // 1 while the field's column is in the entry list
};

// One headword: its code points and the values of its fields.
class characterEntry : public State {
public:
    characterEntry();
    explicit characterEntry(std::vector<uint32_t> codes);
    ~characterEntry() override;

    uint32_t hash_key() const override;
    bool equals(const State* other) const override;
    int type() const override;
    void Print(int) const override;

    // The value of `field`, or null.
    dictValue* lookup(int field) const;
    // Destroys the value of `field`, if any; the last value takes its place.
    void remove(int field);

    std::vector<uint32_t> codes;
    QString display;                // the key as text; set by dictionary::addCharacterEntry
    std::vector<dictValue*> values; // add through dictionary::addDictValue only
    uint32_t index;                 // position in dictionary::entries
    // One bit per field the entry has a value of (fields past 62 share the
    // top bit): sorting and loading ask mostly for fields an entry lacks,
    // and this answers them without a walk over the values.
    uint64_t fieldBits = 0;

    static uint64_t fieldBit(int field)
    {
        return field >= 0 && field < 63 ? uint64_t(1) << field : uint64_t(1) << 63;
    }

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

private:
    Q_DISABLE_COPY_MOVE(characterEntry)
};

// The in-memory dictionary: field descriptors and every entry.
//
// The texts and display strings of the values that load() reads, and the
// display strings of the entries, are kept in string storage owned by the
// dictionary (Qt strings over raw data: a few hundred thousand of them cost
// no allocation each). A copy of such a string is valid while the dictionary
// exists, that is, for the life of the program for `dict`; assigning a new
// string to a value or entry is always fine. Like the rest of the program's
// data, the store is used on the main thread only.
class dictionary {
public:
    dictionary();
    ~dictionary();

    // Adds an entry whose codes no stored entry has; sets its index and display.
    void addCharacterEntry(characterEntry* e);
    // Attaches a value of a field the entry has no value of yet.
    void addDictValue(characterEntry* e, dictValue* v);

    // Walk every entry in the hash table's order.
    void iterReset();
    bool iterDone() const;
    characterEntry* iterNext();

    // Field number by exact name, or -1.
    int findField(const char* name) const;
    // Field number by four-character code, or -1.
    int findField(uint32_t code) const;
    // The entry whose key is exactly this one code point, or null.
    characterEntry* lookup(long codePoint) const;

    // Reads one dictionary file into the store; says why when the file
    // cannot be opened or read to its end. Lines whose key names no character
    // are skipped, and values that are not valid UTF-8 show U+FFFD, each with
    // a line on standard error.
    ReadResult load(const char* path, LoadProgress* progress);
    // Reads the field index `path` + ".index"; says why when it cannot be
    // opened or read.
    ReadResult loadIndex(const char* path);
    // Tone numbers to tone marks: "ni3 hao3" -> "nǐ hǎo"; null for none.
    QString pinyinize(const char* text) const;

    // The key as text: one unit per code point, two (a surrogate pair) above
    // U+FFFF, U+FFFD for a value past U+10FFFF.
    static QString displayOfCodes(const std::vector<uint32_t>& codes);

    std::vector<dictFields*> fields;
    HashTable* table; // add entries through addCharacterEntry only
    std::vector<characterEntry*> entries;
    uint32_t count;

private:
    Q_DISABLE_COPY_MOVE(dictionary)

    int findField(const char* name, size_t length) const;
    struct ValueCache;
    // True when the value's text is not valid UTF-8.
    bool addValueFromFile(characterEntry* e, int field, int rule, const char* text, std::size_t n,
                          ValueCache& cache);

    bool mayHoldSingle(uint32_t codePoint) const;

    std::unique_ptr<tavi_memory::StringArena> strings;
    // One bit per code point that is the whole key of an entry: most keys a
    // loader meets are new, and this spares their probes of the table.
    std::vector<uint64_t> singleKeys;
};

// The one dictionary of the program.
extern dictionary dict;
