// A call of the D-Bus method Perform, as its adaptor takes it: any message
// name and any text, up to several times the bound on the text's length.
// The first input byte chooses the name (one of the five, a near miss, or a
// name from the input up to a NUL) and how many times the rest, read as
// UTF-16 units, is repeated to make the text (1 to 32768 times).
//
// Checks: a name not of the five is refused as unknown, a longer text than
// the bound as too long, and nothing else is refused; a served call replies
// as its service does: numbers for the conversions to codes, what toneMarked
// makes of the text for "ConvertPinyin", nothing for the look-ups.

#include "fuzz/fuzzapp.h"

#include "program/appcommands.h"
#include "app/globals.h"
#include "app/servicenames.h"
#include "app/servicesbridge.h"
#include "platform/alerts.h"
#include "tests/common/testdoubles.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/nib.h"
#include "store/dictionary.h"
#include "store/pinyinquery.h"

#include <QApplication>

#include <cstring>
#include <string>

namespace {

const char kIndex[] = "kMandarin\tPYIN\tkRomanization\tMandarin\tReading\n"
                      "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish definition\n"
                      "kTraditionalVariant\tTRAD\tkAltCharacter\tTraditional\tTraditional form\n";

const char kDictionary[] =
    "U+4E2D\tkMandarin\tzhong1\nU+4E2D\tkDefinition\tcentral; center, middle\n"
    "U+6C34\tkMandarin\tshui3\nU+6C34\tkDefinition\twater, liquid\n"
    "U+53F0\tkTraditionalVariant\tU+6AAF\nU+53F0\tkDefinition\tplatform\n";

const char* const kNames[] = {"ConvertPinyin", "ConvertUnicode", "Convert",   "LookupQuickly",
                              "Lookup",        "lookup",         "Frobnicate"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string home = fuzzsupport::scratchFolder();
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    new QApplication(*argc, *argv); // the windows made during the run outlive main()
    fuzzsupport::silenceStdout();
    SetAlertPresenter(std::make_unique<RecordingAlertPresenter>());

    fuzzsupport::setUpApplication(kIndex, kDictionary);
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
    if ((choice & 7) < 7) {
        message = QString::fromLatin1(kNames[choice & 7]);
    } else {
        const size_t length = strnlen(rest, restSize);
        message = QString::fromUtf8(rest, qsizetype(length));
        const size_t used = length < restSize ? length + 1 : length;
        rest += used;
        restSize -= used;
    }
    const QString piece(reinterpret_cast<const QChar*>(rest), qsizetype(restSize / 2));
    // Enough to pass the bound, no more: the text is never longer than needed.
    const qsizetype repeat = qsizetype(1) << ((choice >> 3) & 15);
    const qsizetype cap = tavi_dbus::maxTextUnits + 2;
    QString text;
    for (qsizetype i = 0; i < repeat && text.size() < cap && !piece.isEmpty(); ++i)
        text += piece;

    const ServiceRefusal refusal = checkServiceCall(message, text);
    if (!tavi_dbus::isServiceMessage(message)) {
        FUZZ_CHECK(refusal.name == tavi_dbus::unknownMessageError() && !refusal.message.isEmpty());
        return 0;
    }
    if (text.size() > tavi_dbus::maxTextUnits) {
        FUZZ_CHECK(refusal.name == tavi_dbus::textTooLongError() && !refusal.message.isEmpty());
        return 0;
    }
    FUZZ_CHECK(refusal.name.isEmpty());

    const ServiceReply reply = performServiceMessage(message, text);
    if (text.isEmpty() || message == u"Lookup" || message == u"LookupQuickly") {
        FUZZ_CHECK(reply.kind == ServiceReply::Kind::None);
    } else if (message == u"ConvertPinyin") {
        const QString expected = pinyinquery::toneMarked(text);
        FUZZ_CHECK(reply.kind == ServiceReply::Kind::Unicode && reply.unicode == expected);
    } else {
        FUZZ_CHECK(reply.kind == ServiceReply::Kind::Text && !reply.text.isEmpty());
        for (char c : reply.text)
            FUZZ_CHECK(c == ' ' || c == '&' || c == '#' || c == ';' || c == 'x' ||
                       (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    }
    return 0;
}
