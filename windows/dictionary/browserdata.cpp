// What the entry list shows and takes: cell texts, in-place edits saved at
// once to the user dictionary, notifications and the sort order of rows.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/textutil.h"
#include "store/relevance.h"
#include "store/searchindex.h"

#include "store/trace.h"

#include <QApplication>
#include <QFile>

#include <climits>
#include <cstdio>

namespace {

characterEntry* entryOfItem(DataBrowserItemID item)
{
    if (item == kDataBrowserNoItem || item > dict.entries.size())
        return nullptr;
    return dict.entries[item - 1];
}

// The text in UTF-8; a unit that is no character (a lone surrogate) becomes '?'.
QByteArray utf8WithQuestionMarks(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() * 3);
    tavi_text::forEachCodePoint(text, [&](char32_t cp) {
        if (QChar::isSurrogate(cp)) {
            out.append('?');
        } else if (cp < 0x80) {
            out.append(char(cp));
        } else if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    });
    return out;
}

int lowerByte(const QByteArray& text, qsizetype i)
{
    if (i >= text.size())
        return 0;
    const auto c = static_cast<unsigned char>(text[i]);
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// strncasecmp and strcasecmp over byte strings (limit < 0: no limit); the end
// of a string counts as its NUL.
int caseCompare(const QByteArray& a, const QByteArray& b, qsizetype limit)
{
    for (qsizetype i = 0; limit < 0 || i < limit; ++i) {
        const int ca = lowerByte(a, i);
        const int cb = lowerByte(b, i);
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    return 0;
}

qsizetype firstBlank(const QByteArray& text)
{
    const qsizetype nul = text.indexOf('\0');
    const qsizetype blank = text.indexOf(' ');
    return (nul >= 0 && blank > nul) ? -1 : blank;
}

bool codesBefore(const characterEntry* a, const characterEntry* b)
{
    const std::size_t n = std::min(a->codes.size(), b->codes.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a->codes[i] != b->codes[i])
            return a->codes[i] < b->codes[i];
    }
    return a->codes.size() <= b->codes.size();
}

// findField by code, remembered for the rows of one sort.
int fieldOfProperty(DataBrowserPropertyID property)
{
    static DataBrowserPropertyID lastProperty = 0;
    static int lastField = -1;
    static std::size_t lastCount = 0;
    if (property != lastProperty || lastCount != dict.fields.size() || lastField < 0) {
        lastProperty = property;
        lastCount = dict.fields.size();
        lastField = dict.findField(uint32_t(property));
    }
    return lastField;
}

void showSelectedEntry(DataBrowserItemID item)
{
    characterEntry* entry = entryOfItem(item);
    loadDictTextData(entry);
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    ControlRef caption = nullptr;
    const OSStatus err = window ? GetControlByID(window, &kCharacterCaptionID, &caption)
                                : OSStatus(errInvalidWindowRef);
    if (!entry) {
        qCDebug(taviTrace, "Didn't find character");
    } else if (!caption) {
        qCDebug(taviTrace, "Didn't find right field: %ld", long(err));
    } else {
        ControlFontStyleRec style{};
        style.flags = kControlUseSizeMask | kControlUseJustMask;
        style.size = 24;
        style.just = teCenter;
        SetControlFontStyle(caption, &style);
        const QString display = entry->display;
        const OSStatus status =
            SetControlData(caption, kControlEntireControl, kControlStaticTextCFStringTag,
                           sizeof display, &display);
        if (status != noErr)
            qCDebug(taviTrace, "Got error %d", int(status));
    }
}

} // namespace

OSStatus dictionaryDataCallback(ControlRef browser, DataBrowserItemID item,
                                DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                                Boolean setValue)
{
    switch (property) {
    case kDataBrowserItemIsEditableProperty:
        qCDebug(taviTrace, "Got editable query, id %ld", long(item));
        SetDataBrowserItemDataBooleanValue(itemData, true);
        return noErr;
    case kDataBrowserItemIsActiveProperty:
    case kDataBrowserItemIsSelectableProperty:
    case kDataBrowserContainerIsSortableProperty:
        SetDataBrowserItemDataBooleanValue(itemData, true);
        return noErr;
    case 12:
        return eventNotHandledErr;
    case kCharacterColumn:
        if (characterEntry* entry = entryOfItem(item); entry && !setValue)
            SetDataBrowserItemDataText(itemData, entry->display);
        return noErr;
    default:
        break;
    }

    const int field = fieldOfProperty(property);
    if (field < 0) {
        qCDebug(taviTrace, "Unknown databrowser query: '%c%c%c%c' (%d)", FOUR_CHAR_ARGS(property),
                int(property));
        return noErr;
    }
    characterEntry* entry = entryOfItem(item);
    if (!entry)
        return noErr;
    dictValue* value = entry->lookup(field);

    if (!setValue) {
        SetDataBrowserItemDataText(itemData, value ? value->display() : QStringLiteral("   "));
        return noErr;
    }

    qCDebug(taviTrace, "Told to change: %s", value ? value->text().toStdString().c_str() : "null");
    QString typed;
    if (GetDataBrowserItemDataText(itemData, &typed) != noErr) {
        return noErr; // nothing was handed over
    }
    if (typed.isNull())
        typed = QStringLiteral("");
    if (value && !value->display().isNull() && value->display() == typed)
        return noErr; // the same text: nothing changes, nothing is saved
    QByteArray text = utf8WithQuestionMarks(typed);
    if (text.isEmpty())
        text = QByteArrayLiteral("?");
    else
        qCDebug(taviTrace, "Made into %s", text.constData());
    if (!value)
        value = dict.addDictValue(entry, field, text, typed);
    else
        dict.setValue(value, text, typed);
    value->modified = 1;
    dictsearch::dictionarySearchIndex().valueChanged(entry, field);
    saveUserEdits();
    SetDataBrowserItemDataText(itemData, value->display());
    // The text view shows the selected row: it shows the new value at once.
    if (IsDataBrowserItemSelected(browser, item))
        showSelectedEntry(item);
    return noErr;
}

void saveUserEdits()
{
    static bool told = false;
    if (saveCustomDictionary()) {
        told = false;
        return;
    }
    if (told)
        return;
    told = true;
    const std::string path = getCustomDictLocation();
    AlertRequest request;
    request.type = kAlertCautionAlert;
    request.message = QStringLiteral("Your changes could not be saved to \u201C%1\u201D.")
                          .arg(path.empty() ? QStringLiteral("the user dictionary")
                                            : QFile::decodeName(path.c_str()));
    request.explanation = QStringLiteral("They are kept and will be saved when the folder can be "
                                         "written.");
    SInt16 item = 0;
    StandardAlert(request, &item);
}

void dictionaryNotificationCallback(ControlRef, DataBrowserItemID item,
                                    DataBrowserItemNotification message)
{
    switch (message) {
    case kDataBrowserEditStarted:
        qCDebug(taviTrace, "Edit started");
        break;
    case kDataBrowserEditStopped:
        if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        qCDebug(taviTrace, "Edit stopped");
        break;
    case kDataBrowserItemDoubleClicked:
        // Double click: the entry also goes to the floating window.
        if (entryOfItem(item))
            showInFloatingWindow(int64_t(item) - 1);
        showSelectedEntry(item);
        break;
    case kDataBrowserItemSelected:
        showSelectedEntry(item);
        break;
    default:
        break;
    }
}

Boolean dictionaryCompareCallback(ControlRef, DataBrowserItemID itemOne, DataBrowserItemID itemTwo,
                                  DataBrowserPropertyID sortProperty)
{
    const characterEntry* a = entryOfItem(itemOne);
    const characterEntry* b = entryOfItem(itemTwo);
    if (!a || !b)
        return false;
    const int field = sortProperty == kCharacterColumn ? -1 : fieldOfProperty(sortProperty);
    if (field < 0)
        return codesBefore(a, b);

    const int kind = dict.fields[std::size_t(field)]->kind;
    if (kind != kMetaNum && kind != kRomanization) {
        // Case-insensitive and non-literal: the search forms compare so, and
        // they also tell which entries have a value.
        dictsearch::SearchIndex& index = dictsearch::dictionarySearchIndex();
        QStringView fa;
        QStringView fb;
        if (!index.valueForm(field, a, &fa))
            return false;
        if (!index.valueForm(field, b, &fb))
            return true;
        return fa.compare(fb) < 0;
    }

    const dictValue* va = a->lookup(field);
    const dictValue* vb = b->lookup(field);
    if (!va)
        return false;
    if (!vb)
        return true;

    switch (kind) {
    case kRomanization: {
        // The first reading decides; entries that share it go by code point.
        qsizetype n = firstBlank(va->text());
        if (n < 0)
            n = firstBlank(vb->text());
        if (n > 0 && caseCompare(va->text(), vb->text(), n) == 0) {
            const uint32_t ca = a->codes.empty() ? 0 : a->codes[0];
            const uint32_t cb = b->codes.empty() ? 0 : b->codes[0];
            if (ca != cb)
                return ca < cb;
        }
        return caseCompare(va->text(), vb->text(), -1) < 0;
    }
    default: { // kMetaNum
        // Equal numbers go by relevance, so that sorting by frequency puts
        // the simplest of the most common characters first.
        const int32_t na = tavi_text::leadingInteger(va->text());
        const int32_t nb = tavi_text::leadingInteger(vb->text());
        if (na != nb)
            return na < nb;
        static dictsearch::Relevance relevance(dict);
        static std::size_t fieldCount = dict.fields.size();
        if (fieldCount != dict.fields.size()) {
            relevance = dictsearch::Relevance(dict);
            fieldCount = dict.fields.size();
        }
        return relevance.key(a) < relevance.key(b);
    }
    }
}
