// Finding windows by tag, the alert helper, unknown application commands,
// and the menu bar in the main windows made from the interface resources.

#include "apptesthelpers.h"

#include "app/appcommands.h"
#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "tests/common/stdoutcapture.h"
#include "tests/common/testdoubles.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>

#include <unistd.h>

using namespace apptest;

namespace {

RecordingAlertPresenter* g_alerts = nullptr;

QByteArray pascal(const QByteArray& text)
{
    return char(text.size()) + text;
}

const unsigned char* bytes(const QByteArray& pascalText)
{
    return reinterpret_cast<const unsigned char*>(pascalText.constData());
}

} // namespace

class WindowLookupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void findMyWindowFindsTheFrontmostShownWithTheTag();

    void alertForms_data();
    void alertForms();
    void aLongTitleIsCutSoTheCodeStillShows_data();
    void aLongTitleIsCutSoTheCodeStillShows();
    void longCStringsAreCutAtWholeCharacters();

    void unknownApplicationCommandsArePrintedAndPassedOn();

    void mainWindowsShowTheMenuBar();
};

void WindowLookupTest::initTestCase()
{
    auto recorder = std::make_unique<RecordingAlertPresenter>();
    g_alerts = recorder.get();
    SetAlertPresenter(std::move(recorder));
}

void WindowLookupTest::init()
{
    g_alerts->requests.clear();
}

void WindowLookupTest::cleanup()
{
    disposeAllWindows();
}

void WindowLookupTest::findMyWindowFindsTheFrontmostShownWithTheTag()
{
    QCOMPARE(FindMyWindow(kDictionaryWindowTag, true), nullptr);
    // A window that is not shown is not found.
    HideWindow(makeTaggedWindow(kDictionaryWindowTag));
    QCOMPARE(FindMyWindow(kDictionaryWindowTag, false), nullptr);

    WindowRef older = makeTaggedWindow(kFeedbackWindowTag);
    WindowRef other = makeTaggedWindow(kFloatingWindowTag);
    WindowRef newer = makeTaggedWindow(kFeedbackWindowTag);
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), newer);
    QCOMPARE(FindMyWindow(kFloatingWindowTag, false), other);
    // Without select the order stays; with it the window comes to the front.
    const std::vector<WindowRef> before = GetWindowList();
    QCOMPARE(FindMyWindow(kFloatingWindowTag, false), other);
    QCOMPARE(GetWindowList(), before);
    QCOMPARE(FindMyWindow(kFloatingWindowTag, true), other);
    QCOMPARE(FrontWindow(), other);
    SelectWindow(older);
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), older);
}

void WindowLookupTest::alertForms_data()
{
    QTest::addColumn<QByteArray>("message"); // null: no message
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("mainText");
    QTest::addColumn<QString>("explanation");
    QTest::newRow("message, no code")
        << QByteArray("Could not load menu bar") << 0 << QStringLiteral("Error")
        << QStringLiteral("Could not load menu bar");
    QTest::newRow("message and code") << QByteArray("Could not load menu bar") << -43
                                      << QStringLiteral("Error (-43)")
                                      << QStringLiteral("Could not load menu bar");
    QTest::newRow("no message, code") << QByteArray() << -43 << QStringLiteral("Error")
                                      << QStringLiteral("Unknown error (-43)");
    QTest::newRow("no message, no code") << QByteArray() << 0 << QStringLiteral("Error")
                                         << QStringLiteral("Unknown error (0)");
    QTest::newRow("empty message, code")
        << QByteArray("") << -10960 << QStringLiteral("Error (-10960)") << QString();
}

void WindowLookupTest::alertForms()
{
    QFETCH(QByteArray, message);
    QFETCH(int, err);
    QFETCH(QString, mainText);
    QFETCH(QString, explanation);
    const QByteArray title = pascal("Error");
    const QByteArray text = pascal(message);
    minorError(bytes(title), message.isNull() ? nullptr : bytes(text), err);
    // The C-string form shows the same.
    minorError("Error", message.isNull() ? nullptr : message.constData(), err);
    QCOMPARE(g_alerts->requests.size(), size_t(2));
    for (const AlertRequest& shown : g_alerts->requests) {
        QCOMPARE(shown.type, kAlertNoteAlert);
        QCOMPARE(shown.message + u'|' + shown.explanation, mainText + u'|' + explanation);
    }
}

void WindowLookupTest::aLongTitleIsCutSoTheCodeStillShows_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("shown");
    QTest::newRow("fits exactly") << QString(249, u'a') << -43
                                  << QString(249, u'a') + QStringLiteral(" (-43)");
    QTest::newRow("one byte over") << QString(250, u'a') << -43
                                   << QString(249, u'a') + QStringLiteral(" (-43)");
    QTest::newRow("full title, long code")
        << QString(255, u'b') << -2147483647 - 1
        << QString(255 - 14, u'b') + QStringLiteral(" (-2147483648)");
    // 中 is three bytes in UTF-8: 83 of them (249 bytes) leave room for " (-43)".
    QTest::newRow("multi-byte characters")
        << QString(85, QChar(0x4E2D)) << -43 << QString(83, QChar(0x4E2D)) + QStringLiteral(" (-43)");
    QTest::newRow("cut inside a character")
        << QStringLiteral("a") + QString(84, QChar(0x4E2D)) << -43
        << QStringLiteral("a") + QString(82, QChar(0x4E2D)) + QStringLiteral(" (-43)");
}

void WindowLookupTest::aLongTitleIsCutSoTheCodeStillShows()
{
    QFETCH(QString, title);
    QFETCH(int, err);
    QFETCH(QString, shown);
    const QByteArray utf8 = title.toUtf8();
    QVERIFY(utf8.size() <= 255);
    const QByteArray titleText = pascal(utf8);
    const QByteArray message = pascal("Something failed");
    minorError(bytes(titleText), bytes(message), err);
    QCOMPARE(g_alerts->requests.size(), size_t(1));
    QCOMPARE(g_alerts->requests.front().message, shown);
    QCOMPARE(g_alerts->requests.front().explanation, QStringLiteral("Something failed"));
}

void WindowLookupTest::longCStringsAreCutAtWholeCharacters()
{
    // 300 bytes: 'x' and then 中 from byte 1 on; 255 falls inside a character.
    const QString message = QStringLiteral("x") + QString(100, QChar(0x4E2D));
    const QByteArray utf8 = message.toUtf8();
    minorError("Error", utf8.constData(), 0);
    QCOMPARE(g_alerts->requests.size(), size_t(1));
    QCOMPARE(g_alerts->requests.front().explanation,
             QStringLiteral("x") + QString(84, QChar(0x4E2D)));
}

void WindowLookupTest::unknownApplicationCommandsArePrintedAndPassedOn()
{
    EventHandlerRef handler = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(applicationEventHandler),
                        GetEventTypeCount(kApplicationEventTypes), kApplicationEventTypes, nullptr,
                        &handler);
    OSStatus status = noErr;
    const QByteArray out = captureStdout([&] {
        HICommand command{};
        command.commandID = FOUR_CHAR_CODE("PYIN"); // a field code from the floating window
        status = ProcessHICommand(command, GetApplicationEventTarget());
    });
    RemoveEventHandler(handler);
    QCOMPARE(status, eventNotHandledErr);
    QCOMPARE(out, QByteArray("Unknown app command: PYIN\n"));
}

void WindowLookupTest::mainWindowsShowTheMenuBar()
{
    IBNibRef nib = nullptr;
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nib), noErr);
    QCOMPARE(SetMenuBarFromNib(nib, QStringLiteral("MenuBar")), noErr);

    struct Row {
        const char* resource;
        long tag;
        bool wantsMenuBar;
    };
    const Row rows[] = {
        {"DataBrowserWindow", kDictionaryWindowTag, true},
        {"FloatingWindow", kFloatingWindowTag, true},
        {"FeedbackWindow", kFeedbackWindowTag, false},
        {"LoadWindow", 0, false},
    };
    for (const Row& row : rows) {
        WindowRef window = nullptr;
        QCOMPARE(CreateWindowFromNib(nib, QString::fromLatin1(row.resource), &window), noErr);
        SetWRefCon(window, row.tag);
        ShowWindow(window);
        QCOMPARE(GetWindowWidget(window)->findChildren<QMenuBar*>().size(), row.wantsMenuBar ? 1 : 0);
        // Shown again: no second menu bar.
        HideWindow(window);
        ShowWindow(window);
        QCOMPARE(GetWindowWidget(window)->findChildren<QMenuBar*>().size(), row.wantsMenuBar ? 1 : 0);
    }
    DisposeNibReference(nib);
}

QTEST_MAIN(WindowLookupTest)
#include "tst_windowlookup.moc"
