// The desktop services end to end on a private session bus: this process is
// the running Tavi (offscreen, over the fixture dictionary) and offers the
// services; tavi-service, dbus-send and a second `tavi` are real programs
// that call it.

#include "app/servicenames.h"
#include "app/servicesbridge.h"
#include "tests/common/desktop.h"
#include "tests/services/servicestest.h"
#include "windows/floating/floatingwindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

using namespace stest;

namespace {

Run client(const QStringList& arguments, const QByteArray& stdinData = QByteArray())
{
    return runProgram(buildProgram("tavi-service"), arguments, stdinData);
}

// A call of the services method by dbus-send, which prints the reply.
Run dbusSend(const QString& message, const QString& text)
{
    return runProgram(QStandardPaths::findExecutable(QStringLiteral("dbus-send")),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=com.Quillon.Tavi"),
                       QStringLiteral("/com/Quillon/Tavi"),
                       QStringLiteral("com.Quillon.Tavi.Services.Perform"),
                       QStringLiteral("string:") + message, QStringLiteral("string:") + text});
}

} // namespace

class ServicesBusTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clientPrintsTheReply_data();
    void clientPrintsTheReply();
    void busCallsAreAnsweredOrRefused_data();
    void busCallsAreAnsweredOrRefused();
    void quickLookupShowsTheEntry_data();
    void quickLookupShowsTheEntry();
    void lookupSearchesTheDictionaryWindow();
    void clientFailuresAreOneLine_data();
    void clientFailuresAreOneLine();
    void callsBeforeTheHandlerIsInstalledAreHeld();
    void selectedTextIsSentWithoutOtherText_data();
    void selectedTextIsSentWithoutOtherText();

private:
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void ServicesBusTest::initTestCase()
{
    alerts = std::make_unique<ftest::AlertRecorder>();
    QVERIFY(setUpTavi());
    QVERIFY(QFileInfo(buildProgram("tavi-service")).isExecutable());
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("dbus-send")).isEmpty());
    QCOMPARE(startDesktopServices(), DesktopServices::Offered);
    desktopServicesReady();
}

void ServicesBusTest::init()
{
    ftest::resetGlobals();
    history.clear();
    ukBufferLen = 0;
    alerts->recorded->requests.clear();
}

void ServicesBusTest::cleanup()
{
    ftest::disposeAllWindows();
}

void ServicesBusTest::clientPrintsTheReply_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input"); // standard input; null for /dev/null
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("pinyin, the arguments joined by blanks")
        << QStringList{QStringLiteral("ConvertPinyin"), QStringLiteral("ni3"),
                       QStringLiteral("hao3")}
        << QByteArray() << QStringLiteral("nǐ hǎo\n").toUtf8();
    QTest::newRow("pinyin from standard input, line break dropped")
        << QStringList{QStringLiteral("ConvertPinyin")} << QByteArray("ni3 hao3\n")
        << QStringLiteral("nǐ hǎo\n").toUtf8();
    // The text was narrowed to 8 bits, which garbled every non-ASCII letter.
    QTest::newRow("pinyin with u-umlaut, either case, and u:")
        << QStringList{QStringLiteral("ConvertPinyin"), QStringLiteral("LÜ4 nü3 lu:4 lv4")}
        << QByteArray() << QStringLiteral("LǛ nǚ lǜ lǜ\n").toUtf8();
    // The byte after each tone digit was skipped, and capitals were lost.
    QTest::newRow("pinyin written together, capitals kept, other words as they are")
        << QStringList{QStringLiteral("ConvertPinyin"),
                       QStringLiteral("ni3hao3 Xi1'an1 Zhong1 mp3")}
        << QByteArray() << QStringLiteral("nǐhǎo Xī'ān Zhōng mp3\n").toUtf8();
    QTest::newRow("hexadecimal of a character beyond the BMP is its code point")
        << QStringList{QStringLiteral("ConvertUnicode"), QStringLiteral("\U00020000")}
        << QByteArray() << QByteArray("0x20000\n");
    QTest::newRow("a reference beyond the BMP, from standard input")
        << QStringList{QStringLiteral("Convert")} << QByteArray("\xF0\xA0\x80\x80")
        << QByteArray("&#131072;\n");
    // The line break counted towards the longest text, and it was refused.
    QByteArray longest = QStringLiteral("中").repeated(tavi_dbus::maxTextUnits).toUtf8();
    QByteArray codes = QByteArray("0x4E2D ").repeated(tavi_dbus::maxTextUnits);
    codes.back() = '\n';
    QTest::newRow("the longest text, then a line break")
        << QStringList{QStringLiteral("ConvertUnicode")} << longest + '\n'
        << codes;
}

void ServicesBusTest::clientPrintsTheReply()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, reply);

    const Run run = client(arguments, input);
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, reply);
    QCOMPARE(run.err, QByteArray());
}

// What a caller on the bus gets: a Unicode string, 8-bit bytes, or an error.
// An unknown name was answered as a success with nothing in it, and a text
// of megabytes held Tavi for seconds to minutes.
void ServicesBusTest::busCallsAreAnsweredOrRefused_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QByteArray>("printed"); // by dbus-send: the reply or the error

    QTest::newRow("8-bit reply: 13 bytes")
        << QStringLiteral("ConvertUnicode") << QStringLiteral("中文") << true
        << QByteArray("variant       array of bytes \"0x4E2D 0x6587\"");
    QTest::newRow("a Unicode reply equal to the text is still a reply")
        << QStringLiteral("ConvertPinyin") << QStringLiteral("ma") << true
        << QByteArray("variant       string \"ma\"");
    QTest::newRow("no text: nothing comes back") << QStringLiteral("ConvertUnicode") << QString()
                                                 << true << QByteArray("variant       string \"\"");
    QTest::newRow("prefix of a name") << QStringLiteral("Look") << QStringLiteral("水") << false
                                      << QByteArray("com.Quillon.Tavi.Error.UnknownMessage");
    QTest::newRow("too long") << QStringLiteral("LookupQuickly") << QString(70000, QLatin1Char('a'))
                              << false << QByteArray("com.Quillon.Tavi.Error.TextTooLong");
}

void ServicesBusTest::busCallsAreAnsweredOrRefused()
{
    QFETCH(QString, message);
    QFETCH(QString, text);
    QFETCH(bool, answered);
    QFETCH(QByteArray, printed);

    const Run run = dbusSend(message, text);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode == 0, answered);
    QVERIFY2((answered ? run.out : run.err).contains(printed), run.err.constData());
    QCOMPARE(windowsTagged(kFloatingWindowTag), 0);
}

void ServicesBusTest::quickLookupShowsTheEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<int>("notFound"); // characters kept for the add command

    QTest::newRow("English word: the definitions")
        << QStringLiteral("water") << QStringLiteral("shuǐ") << 0;
    // The shipped words: the longest word that the text starts with.
    QTest::newRow("a word") << QStringLiteral("中文書") << QStringLiteral("Zhōng wén") << 0;
    QTest::newRow("pinyin of a word") << QStringLiteral("ni hao") << QStringLiteral("nǐ hǎo") << 0;
    QTest::newRow("character not in the dictionary")
        << QStringLiteral("龍") << QStringLiteral("not in dictionary") << 1;
    QTest::newRow("characters among other text: each one")
        << QStringLiteral("a 龍 水") << QStringLiteral("shuǐ") << 0;
    // The whole text was laid out: a million characters held Tavi for minutes.
    QTest::newRow("a long text shows the 32 characters kept")
        << QString(40, QChar(0x9F8D)) << QStringLiteral("not in dictionary") << 32;
}

void ServicesBusTest::quickLookupShowsTheEntry()
{
    QFETCH(QString, text);
    QFETCH(QString, reading);
    QFETCH(int, notFound);

    const Run run = client({QStringLiteral("LookupQuickly"), text});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(windowsTagged(kFloatingWindowTag), 1);
    QCOMPARE(FrontWindow(), FindMyWindow(kFloatingWindowTag, false));
    const QString shown = text.startsWith(u'中')  ? QStringLiteral("中文")
                          : text.startsWith(u'n') ? QStringLiteral("你好")
                                                  : QStringLiteral("水");
    QCOMPARE(textOf(kFloatingWindowTag, "CHAR"_4cc), notFound ? text.left(notFound) : shown);
    QCOMPARE(textOf(kFloatingWindowTag, "ROMN"_4cc), reading);
    QCOMPARE(ukBufferLen, std::size_t(notFound));
    QCOMPARE(history.size(), std::size_t(notFound ? 0 : 1));
    QWidget* add = GetControlWidget(controlOf(kFloatingWindowTag, "ADD "_4cc));
    QCOMPARE(add->isVisibleTo(add->window()), notFound != 0);
}

void ServicesBusTest::lookupSearchesTheDictionaryWindow()
{
    globals.searchState = 0;
    globals.filterState = 2;
    // The floating window in front: the look-up brings the dictionary window
    // before it.
    sendApplicationCommand("LWIN"_4cc);
    const Run run = client({QStringLiteral("Lookup"), QStringLiteral("nine")});
    QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(windowsTagged(kDictionaryWindowTag), 1);
    QCOMPARE(FrontWindow(), FindMyWindow(kDictionaryWindowTag, false));
    QCOMPARE(searchFieldText(), QStringLiteral("nine"));
    QCOMPARE(textOf(kDictionaryWindowTag, "TDSC"_4cc), QStringLiteral("Search All Fields"));
    QCOMPARE(listedCharacters(), QStringList{QStringLiteral("九")});
    QCOMPARE(QList<int>({globals.searchState, globals.filterState}), QList<int>({-2, -1}));
    QVERIFY(history.empty());
}

void ServicesBusTest::clientFailuresAreOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("empty argument")
        << QStringList{QStringLiteral("Convert"), QString()} << QByteArray()
        << QByteArray("tavi-service: no text: the text arguments are empty\n");
    QTest::newRow("empty standard input")
        << QStringList{QStringLiteral("Convert")} << QByteArray(" \n")
        << QByteArray("tavi-service: no text: standard input is empty\n");
    // The offscreen platform has neither selection nor clipboard of others.
    QTest::newRow("nothing selected")
        << QStringList{QStringLiteral("Convert")} << QByteArray()
        << QByteArray("tavi-service: no text: nothing is selected and the clipboard is empty\n");
    QTest::newRow("unknown name")
        << QStringList{QStringLiteral("Frobnicate")} << QByteArray("水")
        << QByteArray("tavi-service: Tavi refused: Tavi has no service named \"Frobnicate\"");
    QTest::newRow("too long") << QStringList{QStringLiteral("Convert")} << QByteArray(70000, 'a')
                              << QByteArray("tavi-service: the text is too long");
    // The text ended silently at the NUL: "0x61" and success.
    QTest::newRow("a NUL in the text")
        << QStringList{QStringLiteral("ConvertUnicode")} << QByteArray("a\0b", 3)
        << QByteArray("tavi-service: the text holds a NUL character");
    // Echoed raw, a line break or an escape sequence broke the line.
    QTest::newRow("unknown name with a line break and ESC")
        << QStringList{QStringLiteral("Frob\nni\x1B[2Jcate")} << QByteArray("水")
        << QByteArray("tavi-service: Tavi refused: Tavi has no service named "
                      "\"Frob\\u000Ani\\u001B[2Jcate\"");
}

void ServicesBusTest::clientFailuresAreOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, error);

    const Run run = client(arguments, input);
    QVERIFY(run.finished);
    QVERIFY(run.exitCode != 0);
    QVERIFY2(run.err.startsWith(error), run.err.constData());
    QVERIFY2(run.err.count('\n') == 1, run.err.constData());
    QCOMPARE(run.out, QByteArray());
}

void ServicesBusTest::callsBeforeTheHandlerIsInstalledAreHeld()
{
    stopDesktopServices();
    QCOMPARE(startDesktopServices(), DesktopServices::Offered);

    QProcess early;
    early.setStandardInputFile(QProcess::nullDevice());
    early.start(buildProgram("tavi-service"),
                {QStringLiteral("ConvertUnicode"), QStringLiteral("a")});
    QVERIFY(early.waitForStarted(10000));
    // The call is in; while Tavi still "loads", it waits for an answer.
    QTest::qWait(1500);
    QCOMPARE(early.state(), QProcess::Running);

    desktopServicesReady();
    QTRY_COMPARE_WITH_TIMEOUT(early.state(), QProcess::NotRunning, 20000);
    QCOMPARE(early.exitCode(), 0);
    QCOMPARE(early.readAllStandardOutput(), QByteArray("0x61\n"));
}

void ServicesBusTest::selectedTextIsSentWithoutOtherText_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("the selection before the clipboard")
        << QStringLiteral("水") << QStringLiteral("a") << QByteArray("0x6C34\n");
    QTest::newRow("the clipboard when nothing is selected")
        << QString() << QStringLiteral("水") << QByteArray("0x6C34\n");
    QTest::newRow("blanks around the selection are dropped")
        << QStringLiteral("  水\n") << QString() << QByteArray("0x6C34\n");
}

void ServicesBusTest::selectedTextIsSentWithoutOtherText()
{
    QFETCH(QString, selection);
    QFETCH(QString, clipboard);
    QFETCH(QByteArray, reply);

    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is not installed");
    QProcess server;
    const QString display = wtest::startXvfb(server, QStringLiteral("320x240x24"));
    QVERIFY(!display.isEmpty());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess owner;
    owner.setProcessEnvironment(environment);
    owner.start(QStringLiteral(TAVI_BUILD_BIN_DIR "/../tests/selectionowner"),
                {selection, clipboard});
    QVERIFY(owner.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(owner.canReadLine(), 20000);
    QCOMPARE(owner.readLine(), QByteArray("ready\n"));

    const Run run = runProgram(buildProgram("tavi-service"), {QStringLiteral("ConvertUnicode")},
                               QByteArray(), 30000, environment);
    owner.closeWriteChannel();
    owner.waitForFinished(5000);
    wtest::stopProcess(server);
    QVERIFY2(run.finished, run.err.constData());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, reply);
}

int main(int argc, char** argv)
{
    // The bus starts before anything in this process can connect to one.
    return execOnPrivateBus<ServicesBusTest, QApplication>(argc, argv);
}

#include "tst_bus.moc"
