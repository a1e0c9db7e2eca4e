// The entry text view: the selected entry's character and the fields shown
// in the text view, one line per field except that neighbouring fields of
// the same kind (other than readings and definitions) share a line.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "app/windowlookup.h"
#include "platform/textview.h"
#include "store/dictionary.h"
#include "windows/wordentry.h"

#include <QFontInfo>
#include <QPlainTextEdit>

namespace {

// Titles and values are shown up to 1024 UTF-16 units.
constexpr qsizetype kMaxPiece = 1024;

// The entry the text view shows, by its index; -1 for none.
int64_t shownIndex = -1;

// The text up to kMaxPiece units; a character whose surrogate pair the cut
// would split is left out whole.
QStringView piece(const QString& text)
{
    if (text.size() <= kMaxPiece)
        return text;
    const qsizetype cut = text[kMaxPiece - 1].isHighSurrogate() ? kMaxPiece - 1 : kMaxPiece;
    return QStringView(text).left(cut);
}

} // namespace

void loadDictTextData(characterEntry* entry)
{
    if (!entry)
        return;
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    ControlRef view = nullptr;
    if (!window || GetControlByID(window, &kTextPaneID, &view) != noErr)
        return;
    TXNObject object = HITextViewGetTXNObject(view);
    if (!object)
        return;

    shownIndex = int64_t(entry->index);
    const QString label = QStringLiteral("Character:\t");
    QString text = label;
    text += entry->display;
    int last = -1;
    for (std::size_t i = 0; i < dict.fields.size(); ++i) {
        const dictValue* value = entry->lookup(int(i));
        if (!value || value->field < 0 || std::size_t(value->field) >= dict.fields.size())
            continue;
        const dictFields* field = dict.fields[std::size_t(value->field)];
        if (!(field->flags & 2))
            continue;
        const int kind = field->kind;
        if (kind == last && last != kRomanization && last != kDefinition) {
            text += u'\t';
            last = -1;
        } else {
            text += u'\n';
            last = kind;
        }
        text += piece(field->title);
        text += QStringLiteral(":\t");
        text += piece(value->display());
    }
    // The most common words with the character, as the floating window lists them.
    const std::vector<uint32_t> refs = entry->codes.size() == 1
                                           ? wordRefsWithCharacter(entry->codes.front())
                                           : std::vector<uint32_t>();
    if (!refs.empty())
        text += QStringLiteral("\n\nWords with %1:").arg(entry->display);
    for (uint32_t ref : refs) {
        const words::Word w = wordOfWordRef(ref);
        text += u'\n';
        text += wordRefForm(ref);
        text += u'\t';
        text += wordReading(w);
        text += u'\t';
        text += piece(wordSenses(w));
    }
    text += u'\n';
    // One replacement rather than a piece at a time: the same text, laid out once.
    TXNSetData(object, kTXNUnicodeTextData, text.utf16(), ByteCount(text.size()) * 2,
               kTXNStartOffset, kTXNEndOffset);
    // The character itself at twice the text's size, in a Han face.
    const int size = QFontInfo(object->font()).pixelSize() * 2;
    TXNSetRangeFont(object, hanCharacterFont(size), TXNOffset(label.size()),
                    TXNOffset(label.size() + entry->display.size()));
}

characterEntry* shownTextEntry()
{
    if (shownIndex < 0 || std::size_t(shownIndex) >= dict.entries.size())
        return nullptr;
    return dict.entries[std::size_t(shownIndex)];
}
