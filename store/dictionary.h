#pragma once

#include "store/codelist.h"
#include "store/hashtable.h"
#include "store/readresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class LoadProgress;
class QFile;
struct TextStamp;
namespace tavi_memory {
class StringArena;
}

// Field kinds, from the third column of the field index.
constexpr int32_t kDefinition = 0;
constexpr int32_t kAltCharacter = 1;
constexpr int32_t kRomanization = 2;
constexpr int32_t kMetaText = 3;
constexpr int32_t kMetaNum = 4;

// One field value of one entry. A small record: its texts live in the
// dictionary's string storage (or in a mapped dictionary image), so a value
// is valid as long as its dictionary, and copies of its texts too. Change
// them through dictionary::setValue.
struct dictValue {
    // The stored texts: this header, the text and a NUL, then at the next
    // even address the display's units and a NUL. Most texts are ASCII and
    // shown as they are: their display is made when asked for, not stored.
    static constexpr int32_t kNoDisplay = -1;
    static constexpr int32_t kTextShown = -2;
    struct Strings {
        uint32_t textSize;
        int32_t displaySize; // or kNoDisplay, kTextShown
    };
    static const char16_t* displayUnits(const Strings* s)
    {
        const auto end = reinterpret_cast<std::uintptr_t>(s + 1) + s->textSize + 1;
        return reinterpret_cast<const char16_t*>((end + 1) & ~std::uintptr_t(1));
    }

    dictValue(int32_t field_, int32_t modified_, const Strings* s)
        : field(field_), modified(modified_)
    {
        setStrings(s);
    }
    dictValue(const dictValue& other) : field(other.field), modified(other.modified)
    {
        setStrings(other.strings());
    }
    dictValue& operator=(const dictValue& other)
    {
        field = other.field;
        modified = other.modified;
        setStrings(other.strings());
        return *this;
    }

    int32_t field;    // position in dictionary::fields
    int32_t modified; // 1 while an edit waits to be saved

    // The source text, as the user dictionary stores it.
    QByteArray text() const
    {
        return QByteArray::fromRawData(reinterpret_cast<const char*>(strings() + 1),
                                       qsizetype(strings()->textSize));
    }
    // What is shown; null = none.
    QString display() const
    {
        const Strings* s = strings();
        if (s->displaySize >= 0)
            return QString::fromRawData(reinterpret_cast<const QChar*>(displayUnits(s)),
                                        s->displaySize);
        if (s->displaySize == kTextShown)
            return QString::fromLatin1(reinterpret_cast<const char*>(s + 1),
                                       qsizetype(s->textSize));
        return QString();
    }
    // The same without a copy where the display is stored; where it is made
    // from the text, it is made in `scratch`.
    QStringView displayView(QString& scratch) const
    {
        const Strings* s = strings();
        if (s->displaySize == kTextShown) {
            scratch.resize(qsizetype(s->textSize));
            const auto* text = reinterpret_cast<const unsigned char*>(s + 1);
            auto* out = reinterpret_cast<char16_t*>(scratch.data());
            for (uint32_t i = 0; i < s->textSize; ++i)
                out[i] = text[i];
            return scratch;
        }
        return display();
    }
    bool hasDisplay() const { return strings()->displaySize != kNoDisplay; }
    qsizetype displaySize() const
    {
        const Strings* s = strings();
        return s->displaySize == kTextShown ? qsizetype(s->textSize)
                                            : std::max<qsizetype>(s->displaySize, 0);
    }

    const Strings* strings() const
    {
        return reinterpret_cast<const Strings*>(reinterpret_cast<std::uintptr_t>(this) +
                                                std::uintptr_t(stringsAt));
    }
    void setStrings(const Strings* s)
    {
        stringsAt =
            int64_t(reinterpret_cast<std::uintptr_t>(s) - reinterpret_cast<std::uintptr_t>(this));
    }

private:
    // Where the strings are, from this record: the same in memory and in a
    // mapped image, whose values are used where they lie. Copies work it out
    // anew for their own place.
    int64_t stringsAt;
};

// The values of one entry, one after the other in one piece of memory.
// Walking it yields pointers to the values. Adding a value to the entry
// or removing one moves them: a pointer to a value is valid until then.
class ValueList {
public:
    class iterator {
    public:
        explicit iterator(dictValue* p) : at(p) {}
        dictValue* operator*() const { return at; }
        iterator& operator++()
        {
            ++at;
            return *this;
        }
        bool operator==(const iterator& other) const { return at == other.at; }
        bool operator!=(const iterator& other) const { return at != other.at; }

    private:
        dictValue* at;
    };

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    dictValue* operator[](std::size_t i) const { return run + i; }
    iterator begin() const { return iterator(run); }
    iterator end() const { return iterator(run + count); }

private:
    friend class characterEntry;
    friend class dictionary;
    dictValue* run = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0; // 0 while `run` lies in a mapped image
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
    explicit characterEntry(std::span<const uint32_t> codes);
    explicit characterEntry(std::initializer_list<uint32_t> codes);
    ~characterEntry() override;

    uint32_t hash_key() const override;
    bool equals(const State* other) const override;
    int type() const override;
    void Print(int) const override;

    // The value of `field`, or null.
    dictValue* lookup(int field) const;
    // Removes the value of `field`, if any; the last value takes its place.
    void remove(int field);

    // Together they take the room the base leaves after its serial number.
    CodeList codes;
    uint32_t index;   // position in dictionary::entries
    QString display;  // the key as text; set by dictionary::addCharacterEntry
    ValueList values; // add through dictionary::addDictValue only
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
// The texts and display strings of the values, and the display strings of
// the entries, are kept in string storage owned by the dictionary (Qt
// strings over raw data: a few hundred thousand of them cost no allocation
// each). A copy of such a string is valid while the dictionary exists, that
// is, for the life of the program for `dict`; assigning a new string to an
// entry's display is always fine. Like the rest of the program's
// data, the store is used on the main thread only.
class dictionary {
public:
    dictionary();
    ~dictionary();

    // Adds an entry whose codes no stored entry has; sets its index and display.
    void addCharacterEntry(characterEntry* e);
    // Attaches a value of a field the entry has no value of yet and returns
    // it; its texts are copied into the dictionary's storage.
    dictValue* addDictValue(characterEntry* e, int field, const QByteArray& text,
                            const QString& display, int32_t modified = 0);
    // Gives a value new texts (kept in the dictionary's storage).
    void setValue(dictValue* v, const QByteArray& text, const QString& display);

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
    // Reads the compact form of the shipped dictionary (store/image.h), made
    // from the text `source`, after the field index; the file stays mapped
    // while the store lives. False, with the reason, when it cannot be used:
    // the store is then unchanged.
    bool loadImage(const QString& path, const TextStamp& source, QString* why);
    // Reads the field index `path` + ".index"; says why when it cannot be
    // opened or read.
    ReadResult loadIndex(const char* path);
    // Tone numbers to tone marks: "ni3 hao3" -> "nǐ hǎo"; null for none.
    QString pinyinize(const char* text) const;

    // The key as text: one unit per code point, two (a surrogate pair) above
    // U+FFFF, U+FFFD for a value past U+10FFFF.
    static QString displayOfCodes(std::span<const uint32_t> codes);

    std::vector<dictFields*> fields;
    HashTable* table; // add entries through addCharacterEntry only
    std::vector<characterEntry*> entries;
    uint32_t count;

    // The search forms a loaded image holds, for its entries (the first
    // imageFormsEntries) by the store's field numbers; empty when none. The
    // values of those entries that change later are listed in
    // imageFormsChanged (entry, field): their forms there are out of date.
    QByteArrayView imageForms;
    uint32_t imageFormsEntries = 0;
    std::vector<std::pair<uint32_t, int32_t>> imageFormsChanged;

private:
    Q_DISABLE_COPY_MOVE(dictionary)

    int findField(const char* name, size_t length) const;
    struct ValueCache;
    // The stored texts of one value read from a file; sets `invalid` when
    // the text is not valid UTF-8.
    const dictValue::Strings* valueFromFile(int rule, const char* text, std::size_t n,
                                            ValueCache& cache, bool& invalid);
    const dictValue::Strings* storeStrings(const char* text, std::size_t n, const QString& display);
    // Puts the values into the entry; one of a field the entry has takes
    // that value's place. Fields widen to the values' displays unless the
    // caller sets their widths itself.
    void attachValues(characterEntry* e, const dictValue* values, std::size_t n,
                      bool widenFields = true);
    void widen(const dictValue& v);

    bool mayHoldSingle(uint32_t codePoint) const;

    std::unique_ptr<tavi_memory::StringArena> strings;
    // Mapped dictionary images whose texts values use.
    std::vector<std::unique_ptr<QFile>> images;
    // One bit per code point that is the whole key of an entry: most keys a
    // loader meets are new, and this spares their probes of the table.
    std::vector<uint64_t> singleKeys;
};

// The one dictionary of the program.
extern dictionary dict;
