#include "windows/floating/floatingwindow.h"

#include "app/globals.h"
#include "store/dictionary.h"

FloatingFields chooseFloatingFields()
{
    FloatingFields chosen;
    for (std::size_t i = 0; i < dict.fields.size(); ++i) {
        const dictFields* f = dict.fields[i];
        if (chosen.romanization < 0 && f->kind == kRomanization && f->code == globals.floatingRomanType)
            chosen.romanization = int(i);
        if (chosen.definition < 0 && f->kind == kDefinition && f->code == globals.floatingDefnType)
            chosen.definition = int(i);
        if (chosen.character < 0 && f->kind == kAltCharacter && f->code == globals.floatingCharType)
            chosen.character = int(i);
    }
    return chosen;
}

SInt16 characterTextSize(std::size_t n)
{
    // The smallest k with k * k >= n; an empty text is sized as one character.
    std::size_t k = 1;
    while (k * k < n)
        ++k;
    return SInt16(114 / k);
}
