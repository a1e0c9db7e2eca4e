// The application handler in this process: commands, the services events
// and the five messages, with scraps made here. What goes back over the bus
// is checked in the bus tests.

#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"
#include "platform/scrap.h"
#include "tests/services/servicestest.h"
#include "windows/floating/floatingwindow.h"

#include <QApplication>
#include <QTest>

#include <optional>

using namespace stest;

namespace {

QByteArray utf16Bytes(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray unitBytes(std::initializer_list<char16_t> units)
{
    return QByteArray(reinterpret_cast<const char*>(std::data(units)),
                      qsizetype(units.size() * 2));
}

// What one services event did.
struct Performed {
    OSStatus status = -1;
    std::optional<QByteArray> unicode; // 'utxt' afterwards
    std::optional<QByteArray> text;    // 'TEXT' afterwards
    QByteArray printed;
};

// Sends a services event with the message name (none when null) and a scrap
// holding `utxt` (no scrap at all when withScrap is false) to the
// application, as the bridge does.
Performed perform(const QString& message, const std::optional<QByteArray>& utxt,
                  bool withScrap = true, EventKind kind = kEventServicePerform)
{
    Performed result;
    ScrapRef scrap = nullptr;
    CreateScrap(&scrap);
    if (utxt)
        scrap->put(kScrapFlavorTypeUnicode, *utxt);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassService, kind, 0, kEventAttributeNone, &event);
    if (!message.isNull())
        SetEventParameter(event, kEventParamServiceMessageName, typeCFStringRef, sizeof message,
                          &message);
    if (withScrap)
        SetEventParameter(event, kEventParamScrapRef, typeScrapRef, sizeof scrap, &scrap);
    {
        StdoutCapture capture;
        result.status = SendEventToEventTarget(event, GetApplicationEventTarget());
        result.printed = capture.finish();
    }
    ReleaseEvent(event);
    result.unicode = scrap->flavor(kScrapFlavorTypeUnicode);
    result.text = scrap->flavor(kScrapFlavorTypeText);
    DisposeScrap(scrap);
    return result;
}

struct CommandRun {
    OSStatus status;
    QByteArray printed;
};

CommandRun command(UInt32 commandID)
{
    HICommand hicommand{};
    hicommand.commandID = commandID;
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof hicommand, &hicommand);
    StdoutCapture capture;
    const OSStatus status = SendEventToEventTarget(event, GetApplicationEventTarget());
    ReleaseEvent(event);
    return {status, capture.finish()};
}

} // namespace

class ServicesHandlerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void conversionsReplyOneNumberPerCharacter_data();
    void conversionsReplyOneNumberPerCharacter();
    void pinyinIsConvertedToToneMarks_data();
    void pinyinIsConvertedToToneMarks();
    void messagesMatchOnlyTheWholeName_data();
    void messagesMatchOnlyTheWholeName();
    void textOfAtMostOneByteIsIgnored_data();
    void textOfAtMostOneByteIsIgnored();
    void unreadableScrapIsAnAlert_data();
    void unreadableScrapIsAnAlert();
    void otherServicesEventsOnlyPrint_data();
    void otherServicesEventsOnlyPrint();


    void commandsOpenTheirWindows_data();
    void commandsOpenTheirWindows();
    void lookupWithoutASearchFieldIsAnAlert();


private:
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void ServicesHandlerTest::initTestCase()
{
    alerts = std::make_unique<ftest::AlertRecorder>();
    QVERIFY(setUpTavi());
}

void ServicesHandlerTest::init()
{
    ftest::resetGlobals();
    history.clear();
    ukBufferLen = 0;
    alerts->recorded->requests.clear();
}

void ServicesHandlerTest::cleanup()
{
    ftest::disposeAllWindows();
}

void ServicesHandlerTest::conversionsReplyOneNumberPerCharacter_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("reply");

    const QString hex = QStringLiteral("ConvertUnicode");
    const QString refs = QStringLiteral("Convert");
    QTest::newRow("hex of two characters: 13 bytes")
        << hex << utf16Bytes(QStringLiteral("中文")) << QByteArray("0x4E2D 0x6587");
    QTest::newRow("hex of a character beyond the BMP is its code point")
        << hex << unitBytes({0xD840, 0xDC00}) << QByteArray("0x20000");
    QTest::newRow("hex of a lone high surrogate stays a number")
        << hex << unitBytes({0xD840, u'a'}) << QByteArray("0xD840 0x61");
    QTest::newRow("hex of surrogates in the wrong order: two numbers")
        << hex << unitBytes({0xDC00, 0xD840}) << QByteArray("0xDC00 0xD840");
    QTest::newRow("hex ignores an odd last byte")
        << hex << QByteArray("a\0b", 3) << QByteArray("0x61");
    QTest::newRow("references of two characters: 16 bytes")
        << refs << utf16Bytes(QStringLiteral("中文")) << QByteArray("&#20013;&#25991;");
    QTest::newRow("reference of a character beyond the BMP is its code point")
        << refs << unitBytes({0xD840, 0xDC00}) << QByteArray("&#131072;");
    QTest::newRow("reference of a lone low surrogate stays a number")
        << refs << unitBytes({u'x', 0xDC00}) << QByteArray("&#120;&#56320;");
}

void ServicesHandlerTest::conversionsReplyOneNumberPerCharacter()
{
    QFETCH(QString, message);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);

    const Performed done = perform(message, input);
    QCOMPARE(done.status, noErr);
    QVERIFY2(!done.unicode, "the scrap is cleared before the reply is put");
    QVERIFY(done.text);
    QCOMPARE(*done.text, reply);
    // The diagnostic line shows the whole text, the trailing blank of the
    // hexadecimal form included.
    const QByteArray sent = message == u"ConvertUnicode" ? reply + ' ' : reply;
    QVERIFY2(done.printed.contains("Sending back " + sent + "\n"), done.printed.constData());
    QVERIFY(done.printed.contains("message type is " + message.toLatin1() + "\n"));
}

void ServicesHandlerTest::pinyinIsConvertedToToneMarks_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("reply"); // null: the scrap is left alone

    QTest::newRow("two syllables") << QStringLiteral("ni3 hao3") << QStringLiteral("nǐ hǎo");
    QTest::newRow("capitals and u:") << QStringLiteral("LU:4") << QStringLiteral("lǜ");
    QTest::newRow("no tone number: the same text, still a reply")
        << QStringLiteral("ma") << QStringLiteral("ma");
    QTest::newRow("nothing to convert leaves the text") << QStringLiteral("3") << QString();
    // The text was narrowed to 8 bits, which garbled every non-ASCII letter.
    QTest::newRow("u-umlaut, either case, and u:")
        << QStringLiteral("LÜ4 nü3 lu:4") << QStringLiteral("lǜ nǚ lǜ");
    QTest::newRow("tone marks already") << QStringLiteral("shuǐ") << QStringLiteral("shuǐ");
}

void ServicesHandlerTest::pinyinIsConvertedToToneMarks()
{
    QFETCH(QString, input);
    QFETCH(QString, reply);

    const Performed done = perform(QStringLiteral("ConvertPinyin"), utf16Bytes(input));
    QCOMPARE(done.status, noErr);
    QVERIFY(done.printed.contains("converting pinyin\n"));
    QVERIFY(!done.text);
    QVERIFY(done.unicode);
    QCOMPARE(*done.unicode, utf16Bytes(reply.isNull() ? input : reply));
}

void ServicesHandlerTest::messagesMatchOnlyTheWholeName_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("printedName");

    QTest::newRow("prefix of Lookup") << QStringLiteral("Look") << QByteArray("Look");
    QTest::newRow("LookupQuickly and more")
        << QStringLiteral("LookupQuicklyX") << QByteArray("LookupQuicklyX");
    QTest::newRow("other case") << QStringLiteral("convert") << QByteArray("convert");
    QTest::newRow("no name") << QString() << QByteArray();
    QTest::newRow("no 8-bit form") << QStringLiteral("Convert中") << QByteArray("Convert\\u4E2D");
    QTest::newRow("control characters are escaped")
        << QStringLiteral("\x1b[2J\n") << QByteArray("\\u001B[2J\\u000A");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("\\uD800");
}

void ServicesHandlerTest::messagesMatchOnlyTheWholeName()
{
    QFETCH(QString, message);
    QFETCH(QByteArray, printedName);

    const QByteArray input = utf16Bytes(QStringLiteral("水"));
    const Performed done = perform(message, input);
    QCOMPARE(done.status, noErr);
    // The text's units are printed by their low bytes: 0x6C34 as "4".
    QVERIFY2(done.printed.contains("message type is " + printedName + "\n4\n"),
             done.printed.constData());
    QVERIFY(done.printed.contains("Unhandled message!\n"));
    QCOMPARE(done.unicode, std::optional<QByteArray>(input));
    QVERIFY(!done.text);
    QCOMPARE(int(GetWindowList().size()), 0);
    QVERIFY(history.empty());
}

void ServicesHandlerTest::textOfAtMostOneByteIsIgnored_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::newRow("no text") << QByteArray("");
    QTest::newRow("one byte") << QByteArray("a");
}

void ServicesHandlerTest::textOfAtMostOneByteIsIgnored()
{
    QFETCH(QByteArray, input);
    for (const char* message : {"ConvertUnicode", "LookupQuickly", "Lookup", "Unknown"}) {
        const Performed done = perform(QString::fromLatin1(message), input);
        QCOMPARE(done.status, noErr);
        QCOMPARE(done.unicode, std::optional<QByteArray>(input));
        QVERIFY(!done.text);
        QVERIFY(!done.printed.contains("Unhandled message!"));
        QVERIFY(!done.printed.contains("Sending back"));
    }
    QCOMPARE(int(GetWindowList().size()), 0);
    QVERIFY(alerts->recorded->requests.empty());
}

void ServicesHandlerTest::unreadableScrapIsAnAlert_data()
{
    QTest::addColumn<bool>("withScrap");
    QTest::addColumn<int>("status");
    QTest::newRow("scrap without Unicode text") << true << int(noTypeErr);
    QTest::newRow("no scrap") << false << int(paramErr);
}

void ServicesHandlerTest::unreadableScrapIsAnAlert()
{
    QFETCH(bool, withScrap);
    QFETCH(int, status);

    const Performed done = perform(QStringLiteral("ConvertUnicode"), std::nullopt, withScrap);
    QCOMPARE(done.status, noErr);
    QVERIFY(!done.text);
    QCOMPARE(wtest::alertTexts(alerts->recorded),
             QStringList{QStringLiteral("Error (%1) / Could not get scrap data size for lookup").arg(status)});
}

void ServicesHandlerTest::otherServicesEventsOnlyPrint_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("get types") << int(kEventServiceGetTypes)
                               << QByteArray("Got get types service event\n");
    QTest::newRow("copy") << int(kEventServiceCopy) << QByteArray("Got service copy service event\n");
    QTest::newRow("paste") << int(kEventServicePaste)
                           << QByteArray("Got service paste service event\n");
}

void ServicesHandlerTest::otherServicesEventsOnlyPrint()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, line);
    const QByteArray input = utf16Bytes(QStringLiteral("ni3"));
    const Performed done =
        perform(QStringLiteral("ConvertPinyin"), input, true, EventKind(kind));
    QCOMPARE(done.status, noErr);
    QCOMPARE(done.printed, "got a service class event\n" + line);
    QCOMPARE(done.unicode, std::optional<QByteArray>(input));
}

void ServicesHandlerTest::commandsOpenTheirWindows_data()
{
    QTest::addColumn<UInt32>("commandID");
    QTest::addColumn<long>("tag");
    QTest::newRow("DWIN") << UInt32("DWIN"_4cc) << long(kDictionaryWindowTag);
    QTest::newRow("LWIN") << UInt32("LWIN"_4cc) << long(kFloatingWindowTag);
    QTest::newRow("VIEW") << UInt32("VIEW"_4cc) << long(kViewPrefWindowTag);
    QTest::newRow("FBAK") << UInt32("FBAK"_4cc) << long(kFeedbackWindowTag);
}

void ServicesHandlerTest::commandsOpenTheirWindows()
{
    QFETCH(UInt32, commandID);
    QFETCH(long, tag);
    const CommandRun run = command(commandID);
    QCOMPARE(run.status, eventNotHandledErr);
    QCOMPARE(windowsTagged(tag), 1);
    QVERIFY(!run.printed.contains("Unknown app command"));
}

void ServicesHandlerTest::lookupWithoutASearchFieldIsAnAlert()
{
    command("DWIN"_4cc);
    ControlRef field = nullptr;
    GetControlByID(FindMyWindow(kDictionaryWindowTag, false), &kSearchFieldID, &field);
    delete GetControlWidget(field);
    const Performed done = perform(QStringLiteral("Lookup"), utf16Bytes(QStringLiteral("water")));
    QCOMPARE(done.status, noErr);
    const QStringList texts = wtest::alertTexts(alerts->recorded);
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.front().endsWith(QStringLiteral(" / Could not sec dictionary window data")),
             qPrintable(texts.front()));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ServicesHandlerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_handler.moc"
