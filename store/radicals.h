#pragma once
// The index of characters by radical and stroke count.
//
// The 214 radicals of the Kangxi dictionary, each with the simplified forms
// that Unicode lists for it (CJKRadicals.txt: "85; 2F54; 6C34", and
// "120'; 2EB0; 7E9F" for a simplified form), and for each radical form the
// single-character entries whose radical-stroke value (kRSUnicode, e.g.
// "85.5", "120'.3", several separated by spaces) names it. A character is
// listed under every radical its value names.

#include <QString>

#include <cstdint>
#include <vector>

class dictionary;

namespace radicals {

struct Radical {
    int number = 0;          // 1..214
    bool simplified = false; // a simplified form (a ' in the data)
    uint32_t glyph = 0;      // the unified ideograph that shows it
    int strokes = 0;         // the traditional radical's own strokes, 1..17
};

struct RadicalCharacter {
    uint32_t entry = 0; // index in dictionary::entries
    uint32_t code = 0;
    int residual = 0;  // strokes beyond the radical
    int total = 0;     // total strokes, 0 when unknown
    int frequency = 0; // 1 (most common) to 5, 6 when unknown
};

// The strokes of Kangxi radical `number` (1..214): the dictionary's order
// puts radicals of one stroke count together. 0 outside 1..214.
int kangxiRadicalStrokes(int number);

class RadicalIndex {
public:
    // Reads the radicals from the text of CJKRadicals.txt and files the
    // dictionary's characters under them. False when the text names no
    // radical; characters of unknown radicals are left out.
    bool build(const dictionary& d, const QByteArray& radicalsText);

    // By number, each traditional radical before its simplified forms.
    const std::vector<Radical>& radicals() const { return forms; }
    // The characters of forms()[i]: by residual strokes, then most common
    // first, then fewer total strokes, then code point.
    const std::vector<RadicalCharacter>& characters(std::size_t form) const;
    // The position in radicals() of a radical form; -1 when not there.
    int find(int number, bool simplified) const;

private:
    std::vector<Radical> forms;
    std::vector<std::vector<RadicalCharacter>> lists;
};

} // namespace radicals
