#include "program/services.h"

#include "app/globals.h"
#include "app/process.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/scrap.h"
#include "platform/windows.h"
#include "platform/searchfield.h"
#include "store/dictionary.h"
#include "store/pinyinquery.h"
#include "store/textutil.h"
#include "store/trace.h"
#include "windows/floating/floatingwindow.h"
#include "windows/lookup.h"
#include "windows/navigation.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The text that arrived as UTF-16 units.
QStringView unitsView(const UniChar* units, std::size_t count)
{
    return QStringView(reinterpret_cast<const char16_t*>(units), qsizetype(count));
}

void appendFormatted(std::string& out, const char* format, unsigned long value)
{
    char number[24];
    const int length = std::snprintf(number, sizeof number, format, value);
    if (length > 0)
        out.append(number, std::size_t(length));
}

// The name in the "message type is" line: printable ASCII as it is, any other
// unit as \uXXXX. A name need not have an 8-bit form, and what the line
// shows should not be able to upset the output it is written to.
std::string printableMessageName(const QString& name)
{
    std::string out;
    out.reserve(std::size_t(name.size()));
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out.push_back(char(c.unicode()));
        else
            appendFormatted(out, "\\u%04lX", c.unicode());
    }
    return out;
}

void putText(ScrapRef scrap, const std::string& text, std::size_t length)
{
    PutScrapFlavor(scrap, kScrapFlavorTypeText, kScrapFlavorMaskNone, Size(length), text.data());
}

void convertPinyin(ScrapRef scrap, const UniChar* units, std::size_t n)
{
    qCDebug(taviTrace, "converting pinyin");
    const QString text = unitsView(units, n).toString();
    // Text that is not pinyin comes back as it is.
    const QString converted = pinyinquery::toneMarked(text);
    ClearScrap(&scrap);
    PutScrapFlavor(scrap, kScrapFlavorTypeUnicode, kScrapFlavorMaskNone, Size(converted.size()) * 2,
                   converted.utf16());
}

void convertUnicode(ScrapRef scrap, const UniChar* units, std::size_t n)
{
    std::string text;
    text.reserve(n * 13);
    tavi_text::forEachCodePoint(unitsView(units, n),
                                [&](char32_t c) { appendFormatted(text, "0x%lX ", c); });
    ClearScrap(&scrap);
    qCDebug(taviTrace, "Sending back %s", text.c_str());
    // Without the blank after the last number.
    putText(scrap, text, text.size() - 1);
}

void convertToReferences(ScrapRef scrap, const UniChar* units, std::size_t n)
{
    std::string text;
    text.reserve(n * 13);
    tavi_text::forEachCodePoint(unitsView(units, n),
                                [&](char32_t c) { appendFormatted(text, "&#%lu;", c); });
    ClearScrap(&scrap);
    qCDebug(taviTrace, "Sending back %s", text.c_str());
    putText(scrap, text, text.size());
}

void lookupQuickly(const UniChar* units, std::size_t n)
{
    openFloatingWindow();
    WindowRef window = FindMyWindow(kFloatingWindowTag, true);

    const QStringView text = unitsView(units, n);
    qCDebug(taviTrace, "%s", qUtf8Printable(text.toString()));
    const QuickLookup found = lookUpQuickly(text);
    if (found.index >= 0) {
        showInOpenFloatingWindow(found.index);
    } else if (found.unknownCharacters) {
        const QStringView characters = text.trimmed();
        loadFloatingWindowData(window, reinterpret_cast<const UniChar*>(characters.utf16()),
                               SInt32(characters.size()));
    } else {
        showNoEntryFound(window, text.trimmed().toString());
    }
}

void lookup(const UniChar* units, std::size_t n)
{
    ProcessSerialNumber psn;
    GetCurrentProcess(&psn);
    SetFrontProcess(&psn);
    searchDictionary(unitsView(units, n).toString());
}

} // namespace

OSStatus performService(EventRef event)
{
    qCDebug(taviTrace, "got a service class event");
    qCDebug(taviTrace, "got a perform service event");

    // A missing name is the null string, which matches no message; a missing
    // scrap fails its size below.
    QString message;
    GetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, nullptr,
                      sizeof message, nullptr, &message);
    ScrapRef scrap = nullptr;
    GetEventParameter(event, kEventParamScrapRef, typeScrapRef, nullptr, sizeof scrap, nullptr,
                      &scrap);

    qCDebug(taviTrace, "message type is %s", printableMessageName(message).c_str());

    Size size = 0;
    OSStatus err = GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size);
    if (err != noErr) {
        minorError("Error", "Could not get scrap data size for lookup", err);
        return noErr;
    }

    std::vector<UniChar> buffer(std::size_t(size + 1) / 2);
    Size read = size;
    err = GetScrapFlavorData(scrap, kScrapFlavorTypeUnicode, &read, buffer.data());
    if (err != noErr) {
        minorError("Error", "Could not get scrap data for lookup", err);
        return noErr;
    }

    if (size <= 1)
        return noErr;

    const std::size_t n = std::size_t(size) / 2;
    const UniChar* units = buffer.data();
    qCDebug(taviTrace, "%s", qUtf8Printable(unitsView(units, n).toString()));

    if (message == u"ConvertPinyin")
        convertPinyin(scrap, units, n);
    else if (message == u"ConvertUnicode")
        convertUnicode(scrap, units, n);
    else if (message == u"Convert")
        convertToReferences(scrap, units, n);
    else if (message == u"LookupQuickly")
        lookupQuickly(units, n);
    else if (message == u"Lookup")
        lookup(units, n);
    else
        qCDebug(taviTrace, "Unhandled message!");
    return noErr;
}
