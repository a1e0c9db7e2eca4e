// The services perform path of the application handler with any message name
// and any scrap bytes. The first input byte chooses the name (one of the
// five, a name from the input, or none), whether the scrap has Unicode text
// at all, and how many times (1 to 32768) the rest is repeated to make the
// scrap's 'utxt' bytes, so that texts of every length the services take
// are reached.
//
// Checks: the event is always consumed; the number conversions reply text
// that decodes back to exactly the units sent; "ConvertPinyin" replies what
// toneMarked makes of the text (the text itself when it is no pinyin); a scrap
// of at most one byte or an unknown name leaves it alone; "Lookup" sets the
// search to the text over all fields; the history only names entries.

#include "fuzz/fuzzapp.h"

#include "program/appcommands.h"
#include "app/globals.h"
#include "app/servicenames.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/nib.h"
#include "platform/scrap.h"
#include "store/dictionary.h"
#include "store/pinyinquery.h"
#include "tests/common/testdoubles.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/history/history.h"

#include <QApplication>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>

namespace {

RecordingAlertPresenter* g_alerts = nullptr;

const char kIndex[] = "kMandarin\tPYIN\tkRomanization\tMandarin\tReading\n"
                      "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish definition\n"
                      "kTraditionalVariant\tTRAD\tkAltCharacter\tTraditional\tTraditional form\n"
                      "kFrequency\tFREQ\tkMetaNum\tFrequency\tHow common\n";

const char kDictionary[] =
    "U+4E2D\tkMandarin\tzhong1\nU+4E2D\tkDefinition\tcentral; center, "
    "middle\nU+4E2D\tkFrequency\t1\n"
    "U+6C34\tkMandarin\tshui3\nU+6C34\tkDefinition\twater, liquid\nU+6C34\tkFrequency\t1\n"
    "U+53F0\tkTraditionalVariant\tU+6AAF\nU+53F0\tkDefinition\tplatform\n"
    "U+6B61+8FCE\tkDefinition\twelcome\n"
    "U+20000\tkDefinition\t(same as U+5316) to change\n"
    "U+E9\tkDefinition\te with an acute accent\n";

const char* const kNames[] = {"ConvertPinyin", "ConvertUnicode", "Convert", "LookupQuickly",
                              "Lookup"};

// The UTF-16 units of a reply of numbers: "0x4E2D 0x6587" or "&#20013;&#25991;".
// A number above 0xFFFF stands for its surrogate pair.
std::optional<std::u16string> unitsOfNumbers(const QByteArray& text, bool hex)
{
    std::u16string units;
    const QList<QByteArray> parts = hex ? text.split(' ') : text.split(';');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts[i];
        if (!hex && i == parts.size() - 1) {
            if (!part.isEmpty())
                return std::nullopt; // every reference ends with ';'
            break;
        }
        if (!part.startsWith(hex ? "0x" : "&#"))
            return std::nullopt;
        const QByteArray digits = part.mid(2);
        bool ok = false;
        const uint value = digits.toUInt(&ok, hex ? 16 : 10);
        if (!ok || digits.isEmpty() || (hex && digits != digits.toUpper()) || value > 0x10FFFF)
            return std::nullopt;
        if (value > 0xFFFF) {
            units.push_back(char16_t(0xD800 + ((value - 0x10000) >> 10)));
            units.push_back(char16_t(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            units.push_back(char16_t(value));
        }
    }
    return units;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string home = fuzzsupport::scratchFolder();
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    // Never destroyed: the windows made during the run outlive main().
    new QApplication(*argc, *argv);
    fuzzsupport::silenceStdout();

    auto recorder = std::make_unique<RecordingAlertPresenter>();
    g_alerts = recorder.get();
    SetAlertPresenter(std::move(recorder));

    fuzzsupport::setUpApplication(kIndex, kDictionary);
    globals.ShowDictionary = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0];
    const auto* rest = reinterpret_cast<const char*>(data + 1);
    size_t restSize = size - 1;

    QString message;
    const unsigned kind = choice & 7;
    if (kind < 5) {
        message = QString::fromLatin1(kNames[kind]);
    } else if (kind == 5 || kind == 6) {
        // A name from the input, up to a NUL: near misses such as "Look" or
        // "LookupQuicklyX" as well as any UTF-8 at all.
        const size_t length = strnlen(rest, restSize);
        message = QString::fromUtf8(rest, qsizetype(length));
        const size_t used = length < restSize ? length + 1 : length;
        rest += used;
        restSize -= used;
    } // 7: no name at all
    const bool withText = (choice & 8) == 0;
    // Up to what the services take (a longer text never reaches the handler).
    const qsizetype repeat = qsizetype(1) << (choice >> 4);
    QByteArray utxt(rest, qsizetype(restSize));
    if (repeat > 1 && restSize > 0)
        utxt = utxt.repeated(std::min<qsizetype>(
                                 repeat, (tavi_dbus::maxTextUnits * 2) / qsizetype(restSize) + 1))
                   .left(tavi_dbus::maxTextUnits * 2 + 1);

    ScrapRef scrap = nullptr;
    CreateScrap(&scrap);
    if (withText)
        scrap->put(kScrapFlavorTypeUnicode, utxt);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassService, kEventServicePerform, 0, kEventAttributeNone, &event);
    if (!message.isNull())
        SetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, sizeof message,
                          &message);
    SetEventParameter(event, kEventParamScrapRef, typeScrapRef, sizeof scrap, &scrap);
    g_alerts->requests.clear();
    const OSStatus status = SendEventToEventTarget(event, GetApplicationEventTarget());
    ReleaseEvent(event);
    const std::optional<QByteArray> unicode = scrap->flavor(kScrapFlavorTypeUnicode);
    const std::optional<QByteArray> text = scrap->flavor(kScrapFlavorTypeText);
    DisposeScrap(scrap);

    FUZZ_CHECK(status == noErr);
    if (!withText) {
        FUZZ_CHECK(g_alerts->requests.size() == 1);
        FUZZ_CHECK(!unicode && !text);
        return 0;
    }
    FUZZ_CHECK(g_alerts->requests.empty() || message == u"Lookup" || message == u"LookupQuickly");
    const std::u16string units(reinterpret_cast<const char16_t*>(utxt.constData()),
                               size_t(utxt.size()) / 2);
    const bool known = message == u"ConvertPinyin" || message == u"ConvertUnicode" ||
                       message == u"Convert" || message == u"LookupQuickly" || message == u"Lookup";
    const bool replies =
        message == u"ConvertPinyin" || message == u"ConvertUnicode" || message == u"Convert";
    if (utxt.size() <= 1 || !known || !replies) {
        // Nothing comes back: the scrap holds the text it was given.
        FUZZ_CHECK(unicode == utxt && !text);
    } else if (message == u"ConvertPinyin") {
        const QString sent = QString::fromUtf16(units.data(), qsizetype(units.size()));
        const QString expected = pinyinquery::toneMarked(sent);
        const QByteArray bytes(reinterpret_cast<const char*>(expected.utf16()),
                               expected.size() * 2);
        FUZZ_CHECK(unicode == bytes && !text);
    } else {
        FUZZ_CHECK(!unicode && text);
        const std::optional<std::u16string> back =
            unitsOfNumbers(*text, message == u"ConvertUnicode");
        FUZZ_CHECK(back && *back == units);
    }

    if (message == u"Lookup" && utxt.size() > 1) {
        FUZZ_CHECK(globals.filterState == -1 && globals.searchState == -2);
        ControlRef field = nullptr;
        FUZZ_CHECK(GetControlByID(FindMyWindow(kDictionaryWindowTag, false), &kSearchFieldID,
                                  &field) == noErr);
        QString shown;
        GetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof shown,
                       &shown, nullptr);
        FUZZ_CHECK(shown == QString::fromUtf16(units.data(), qsizetype(units.size())));
    }
    std::set<uint32_t> seen;
    for (uint32_t index : history) {
        FUZZ_CHECK(index < dict.entries.size());
        FUZZ_CHECK(seen.insert(index).second);
    }
    return 0;
}
