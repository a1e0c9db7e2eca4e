#pragma once
// The search forms of the dictionary: every entry's character and every
// value's display, case-folded and canonically decomposed, kept beside the
// store so that a search folds only its own text.
//
// A text matches a form when it occurs in it on whole characters: the match
// neither starts nor ends inside a character (between a letter and its
// combining marks, inside a surrogate pair or inside a Hangul syllable).
// So "MA" finds "ma" and "Ma", "mǎ" typed precomposed finds "mǎ" stored
// decomposed, and "ma" does not find "mǎ".
//
// Forms of one field are stored one after the other in a single buffer, in
// entry order, so a search runs over the whole buffer at once. The forms of
// a field are made the first time a search or a sort needs them; entries
// added to the store later are taken in at the next use, and an edited value
// must be announced with valueChanged.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class dictionary;
class characterEntry;

namespace dictsearch {

// The search form of a text.
QString searchForm(QStringView text);

// True when the unit at position i of a form cannot begin a character.
bool continuesCharacter(QStringView form, qsizetype i);

// Whether the needle (a search form) occurs in the form on whole characters.
// An empty needle occurs nowhere.
bool containsWhole(QStringView form, QStringView needle);

// Whether form[start, end) is bounded by non-letters: no letter, digit or
// mark touches it on a side where the match itself has one.
bool isWholeWord(QStringView form, qsizetype start, qsizetype end);

class SearchIndex {
public:
    explicit SearchIndex(const dictionary* store);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // The character pseudo-field, beside field numbers 0 and up.
    static constexpr int kCharacter = -1;

    // Sets hits[p] to 1 for every entry position p whose form in the field
    // holds the needle; hits must have room for every entry.
    void markMatches(int field, QStringView needle, std::vector<uint8_t>& hits);
    // The same, but an entry where the needle is a whole word (isWholeWord)
    // gets 2; one where it is only inside longer words gets at least
    // `inside` (0: left alone).
    void markWords(int field, QStringView needle, std::vector<uint8_t>& hits, uint8_t inside = 1);
    // Sets hits[p] to mark, where it is below, for every entry position p
    // whose form in the field passes the test.
    void markIf(int field, const std::function<bool(QStringView)>& test, std::vector<uint8_t>& hits,
                uint8_t mark);

    // The form of an entry's character or value (empty when it has none).
    QStringView form(int field, const characterEntry* entry);
    // The same, false when the entry has no value of the field.
    bool valueForm(int field, const characterEntry* entry, QStringView* out);

    // Whether the entry at position p has a value of the field.
    bool hasValue(int field, std::size_t p);

    // Takes the new display of the entry's value of the field.
    void valueChanged(const characterEntry* entry, int field);

    // Makes the forms of every field now, rather than at first use, except
    // those a dictionary image holds, which cost little at their first use.
    void buildAll();

    // The forms of every field, for a dictionary image (store/image.h).
    QByteArray formsImage();

private:
    struct Forms;
    Forms& forms(int field);
    void catchUp(Forms& f, int field);
    void markOccurrences(int field, QStringView needle, std::vector<uint8_t>& hits, bool words,
                         uint8_t inside);
    void append(Forms& f, uint32_t entry, QStringView display);
    // Takes the entry's value of the field anew.
    void renew(Forms& f, int field, const characterEntry* entry);
    // Takes the field's forms from the store's image, if it has sound ones.
    bool adoptImageForms(Forms& f, int field);

    const dictionary* store;
    std::vector<std::unique_ptr<Forms>> fieldForms; // [0] is the character
    // Values of the image's entries changed before their field's forms were
    // made: (entry, field).
    std::vector<std::pair<uint32_t, int>> pendingChanges;
    bool damageSaid = false;
};

// The index of the program's dictionary `dict`.
SearchIndex& dictionarySearchIndex();

} // namespace dictsearch
