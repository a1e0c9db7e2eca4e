// Start-up to shutdown: runTavi with a test loader, driven from timers that
// act once the event loop runs. Also the alert helper's long messages, the
// menu bar in the main windows and the About box.

#include "apptesthelpers.h"
#include "tests/faults/faulttest.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "program/about.h"
#include "program/startup.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/folders.h"
#include "platform/internal.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "store/progress.h"
#include "tests/common/testdoubles.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QTextBrowser>
#include <QProgressBar>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

using namespace apptest;

namespace {

RecordingAlertPresenter* g_alerts = nullptr;

// What the test loader saw.
struct LoaderRecord {
    int calls = 0;
    bool hadProgress = false;
    bool loadWindowShown = false;
    SInt32 barMaximum = -1;
    SInt32 barValue = -1;
};
LoaderRecord g_loader;

DictionaryLoadReport testLoader(dictionary* d, LoadProgress* progress)
{
    ++g_loader.calls;
    g_loader.hadProgress = progress != nullptr;
    if (d->fields.empty())
        d->fields.push_back(
            makeField("kMandarin", "Mandarin", FOUR_CHAR_CODE("PYIN"), kRomanization));
    if (progress != nullptr) {
        progress->setProgressMaximum(1000);
        progress->setProgressValue(250);
        progress->setProgressValue(500);
        const ControlID id = {FOUR_CHAR_CODE("LOAD"), 128};
        ControlRef bar = nullptr;
        WindowRef front = FrontWindow();
        if (front != nullptr && GetControlByID(front, &id, &bar) == noErr) {
            g_loader.loadWindowShown = GetWindowWidget(front)->isVisible();
            g_loader.barMaximum = GetControl32BitMaximum(bar);
            g_loader.barValue = qobject_cast<QProgressBar*>(GetControlWidget(bar))->value();
        }
    }
    // A shown stand-in window keeps the loop running until the test ends it.
    makeTaggedWindow(FOUR_CHAR_CODE("TEST"));
    return DictionaryLoadReport{};
}

// The real loader, with the shipped files taken from this folder.
std::string g_shippedFolder;
DictionaryLoadReport loaderOfShippedFolder(dictionary* d, LoadProgress* progress)
{
    return loadDictionaries(d, progress, g_shippedFolder);
}

// Runs `action` once, as soon as the event loop runs; a watchdog ends the
// loop after 20 s so that a run that does not stop fails instead of hanging.
struct DuringTheLoop {
    explicit DuringTheLoop(std::function<void()> action)
    {
        QObject::connect(&poll, &QTimer::timeout, &poll, [this, action] {
            if (!IsApplicationEventLoopRunning() || done)
                return;
            done = true;
            poll.stop();
            action();
        });
        poll.start(5);
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [this] {
            timedOut = true;
            QuitApplicationEventLoop();
        });
        watchdog.start(20000);
    }
    QTimer poll;
    QTimer watchdog;
    bool done = false;
    bool timedOut = false;
};

void triggerMenuCommand(MenuCommand command)
{
    QAction* item = wtest::menuItem(command);
    QVERIFY(item);
    item->trigger();
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aFirstRunShowsTheLoadingBarAndSavesAtTheEnd_data();
    void aFirstRunShowsTheLoadingBarAndSavesAtTheEnd();
    void aSaveThatFailsAtQuitAsksFirst_data();
    void aSaveThatFailsAtQuitAsksFirst();
    void theWindowShortcutsWorkFromTheSearchField();
    void missingInterfaceResourcesEndStartUp_data();
    void missingInterfaceResourcesEndStartUp();
    void anUnreadableShippedDictionaryAlertsOnceAndRunsOn_data();
    void anUnreadableShippedDictionaryAlertsOnceAndRunsOn();

    void longMessagesAreCutAtWholeCharacters();
    void hanTextComesFromTheHanFaces();
    void mainWindowsShowTheMenuBar_data();
    void mainWindowsShowTheMenuBar();
    void helpAboutShowsOneBoxWithTheVersionAndTheDataLicence();
};

void StartupTest::initTestCase()
{
    auto recorder = std::make_unique<RecordingAlertPresenter>();
    g_alerts = recorder.get();
    SetAlertPresenter(std::move(recorder));
    // Tests run where no tray exists; the runs below rely on that.
    QCOMPARE(QSystemTrayIcon::isSystemTrayAvailable(), false);
}

void StartupTest::init()
{
    g_alerts->requests.clear();
    g_loader = LoaderRecord{};
    SetBundleResourcesFolderOverride(QString());
    storePrefsFile(QByteArray());
    globals = Globals{};
}

void StartupTest::cleanup()
{
    disposeAllWindows();
    SetBundleResourcesFolderOverride(QString());
}

void StartupTest::aFirstRunShowsTheLoadingBarAndSavesAtTheEnd_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: Quit from the menu
    QTest::newRow("Quit") << 0;
    QTest::newRow("SIGTERM") << SIGTERM;
    // The terminal Tavi was started from closed: it ended at once, unsaved.
    QTest::newRow("SIGHUP") << SIGHUP;
    // A closed standard output ended it too; now it goes on to Quit.
    QTest::newRow("SIGPIPE, then Quit") << SIGPIPE;
}

void StartupTest::aFirstRunShowsTheLoadingBarAndSavesAtTheEnd()
{
    QFETCH(int, signalNumber);
    // Once the loop runs the loading window is gone, the dictionary window
    // is open and no floating window.
    bool loadingWindowGone = true;
    bool dictionaryOpen = false;
    bool floatingOpen = true;
    DuringTheLoop during([&] {
        const ControlID id = {FOUR_CHAR_CODE("LOAD"), 128};
        ControlRef bar = nullptr;
        for (WindowRef window : GetWindowList())
            loadingWindowGone = loadingWindowGone && GetControlByID(window, &id, &bar) != noErr;
        dictionaryOpen = FindMyWindow(kDictionaryWindowTag, false) != nullptr;
        floatingOpen = FindMyWindow(kFloatingWindowTag, false) != nullptr;
        globals.filterState = 5;
        if (signalNumber == SIGPIPE)
            std::raise(SIGPIPE);
        if (signalNumber == 0 || signalNumber == SIGPIPE)
            triggerMenuCommand("quit"_4cc);
        else
            std::raise(signalNumber);
    });
    QCOMPARE(runTavi(testLoader), noErr);
    QVERIFY(during.done && !during.timedOut);
    QVERIFY(loadingWindowGone && dictionaryOpen && !floatingOpen);

    QCOMPARE(g_loader.calls, 1);
    QVERIFY(g_loader.hadProgress && g_loader.loadWindowShown);
    QCOMPARE(g_loader.barMaximum, 1000);
    QCOMPARE(g_loader.barValue, 500);
    QVERIFY(g_alerts->requests.empty());
    // The preferences are saved, with the dictionary window shown.
    QCOMPARE(storedPrefs().value(QStringLiteral("filterState")), QStringLiteral("5"));
    QCOMPARE(storedPrefs().value(QStringLiteral("ShowDictionary")), QStringLiteral("1"));
}

// A full disk at quit lost the session with a line on standard output. The
// preferences file is a folder here, which no save replaces.
void StartupTest::aSaveThatFailsAtQuitAsksFirst_data()
{
    QTest::addColumn<bool>("tryAgain"); // after the folder is gone; else quit without saving
    QTest::newRow("try again") << true;
    QTest::newRow("quit without saving") << false;
}

void StartupTest::aSaveThatFailsAtQuitAsksFirst()
{
    QFETCH(bool, tryAgain);
    QFile::remove(prefsPath());
    QVERIFY(QDir().mkpath(prefsPath()));
    g_alerts->answer = [tryAgain](const AlertRequest&) {
        if (!tryAgain)
            return kAlertStdAlertCancelButton;
        QDir().rmdir(prefsPath());
        return kAlertStdAlertOKButton;
    };
    DuringTheLoop during([] {
        globals.filterState = 5;
        triggerMenuCommand("quit"_4cc);
    });
    QCOMPARE(runTavi(testLoader), noErr);
    g_alerts->answer = nullptr;
    QDir().rmdir(prefsPath());
    QVERIFY(during.done && !during.timedOut);

    QCOMPARE(g_alerts->requests.size(), std::size_t(1));
    const AlertRequest& asked = g_alerts->requests[0];
    QVERIFY2(asked.explanation.contains(prefsPath() + QStringLiteral("\": it is a folder")),
             qUtf8Printable(asked.explanation));
    QCOMPARE(asked.defaultText, QStringLiteral("Try Again"));
    QCOMPARE(asked.cancelText, QStringLiteral("Quit Without Saving"));
    QCOMPARE(storedPrefs().value(QStringLiteral("filterState")),
             tryAgain ? QStringLiteral("5") : QString());
}

// The search field took Ctrl+E (to the end of the line) before the menu did.
void StartupTest::theWindowShortcutsWorkFromTheSearchField()
{
    auto dialog = std::make_unique<ChosenPathSaveDialogPresenter>(); // cancels
    ChosenPathSaveDialogPresenter* asked = dialog.get();
    auto previous = SetSaveDialogPresenter(std::move(dialog));
    QLineEdit* field = nullptr;
    DuringTheLoop during([&] {
        QWidget* window = GetWindowWidget(FindMyWindow(kDictionaryWindowTag, true));
        field = window ? window->findChild<QLineEdit*>(QStringLiteral("searchField")) : nullptr;
        if (field) {
            window->activateWindow();
            field->setFocus();
            if (QTest::qWaitForWindowActive(window))
                QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
        }
        triggerMenuCommand("quit"_4cc);
    });
    QCOMPARE(runTavi(testLoader), noErr);
    const auto kept = SetSaveDialogPresenter(std::move(previous)); // `asked` lives while it does
    QVERIFY(during.done && field);
    QCOMPARE(asked->requests.size(), std::size_t(1));
    QCOMPARE(asked->requests[0].saveFileName, QStringLiteral("Tavi flashcards.txt"));
}

void StartupTest::missingInterfaceResourcesEndStartUp_data()
{
    QTest::addColumn<QStringList>("files"); // empty: no Tavi folder at all
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("alert");
    const QString error = QStringLiteral("Error (%1) / %2");
    // -10960 and -10962: the layer's statuses for a missing folder and window.
    QTest::newRow("no interface folder")
        << QStringList() << -10960 << error.arg(-10960).arg(u"Could not load nib resource file");
    // Without a loading window the dictionary still loads, and Tavi runs.
    QTest::newRow("no loading window") << QStringList{QStringLiteral("MenuBar.ui")} << int(noErr)
                                       << error.arg(-10962).arg(u"Could not find window resource");
}

void StartupTest::missingInterfaceResourcesEndStartUp()
{
    QFETCH(QStringList, files);
    QFETCH(int, status);
    QFETCH(QString, alert);
    QTemporaryDir resources; // with only the named interface files of the real ones
    for (const QString& file : files)
        QVERIFY(faults::writeAll(
            resources.filePath(QStringLiteral("Tavi/") + file),
            wtest::readFile(QStringLiteral(TAVI_BUILD_SHARE_DIR "/Tavi/") + file)));
    SetBundleResourcesFolderOverride(resources.path());
    DuringTheLoop during([] { QuitApplicationEventLoop(); });

    QCOMPARE(runTavi(testLoader), OSStatus(status));
    QCOMPARE(wtest::alertTexts(g_alerts), QStringList{alert});
    QVERIFY(!g_loader.hadProgress);
    // A failed start loads, reads and writes nothing, and exits with an error.
    QCOMPARE(g_loader.calls, status == noErr ? 1 : 0);
    QCOMPARE(QFileInfo::exists(prefsPath()), status == noErr);
    QCOMPARE(exitStatusFor(status) != 0, status != noErr);
}

void StartupTest::anUnreadableShippedDictionaryAlertsOnceAndRunsOn_data()
{
    QTest::addColumn<QByteArray>("index"); // null: no such file
    QTest::addColumn<QByteArray>("shipped");
    QTest::addColumn<QString>("failedFile");
    QTest::addColumn<QString>("reason");
    const QByteArray index = "kDefinition\tEDEF\tkDefinition\tDefinition\tEnglish\n";
    const QByteArray shipped = "U+6C34\tkDefinition\twater\n";
    QTest::newRow("no dictionary") << index << QByteArray() << QStringLiteral("dictionary.txt")
                                   << QStringLiteral("No such file or directory");
    QTest::newRow("no index") << QByteArray() << shipped << QStringLiteral("dictionary.txt.index")
                              << QStringLiteral("No such file or directory");
    QTest::newRow("empty dictionary") << index << QByteArray("") << QStringLiteral("dictionary.txt")
                                      << QStringLiteral("the file holds no entry");
}

// A missing shipped dictionary opened an empty window with no word to the
// user; the user's own entries must still be there.
void StartupTest::anUnreadableShippedDictionaryAlertsOnceAndRunsOn()
{
    QFETCH(QByteArray, index);
    QFETCH(QByteArray, shipped);
    QFETCH(QString, failedFile);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    if (!index.isNull())
        QVERIFY(faults::writeAll(folder.filePath(QStringLiteral("dictionary.txt.index")), index));
    if (!shipped.isNull())
        QVERIFY(faults::writeAll(folder.filePath(QStringLiteral("dictionary.txt")), shipped));
    g_shippedFolder = QFile::encodeName(folder.path()).toStdString();
    const QString userDictionary =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Tavi Dictionaries/UserDictionary.txt");
    QVERIFY(faults::writeAll(userDictionary, "U+2F800\tkDefinition\tmine\n"));
    DuringTheLoop during([] { QuitApplicationEventLoop(); });

    QCOMPARE(runTavi(loaderOfShippedFolder), noErr);
    QFile::remove(userDictionary);
    QVERIFY(during.done);
    QCOMPARE(g_alerts->requests.size(), std::size_t(1));
    const AlertRequest& alert = g_alerts->requests[0];
    QCOMPARE(alert.message, QStringLiteral("Tavi could not read its dictionary"));
    QVERIFY2(
        alert.explanation.startsWith(folder.filePath(failedFile) + QStringLiteral(": ") + reason),
        qPrintable(alert.explanation));
    QVERIFY(alert.explanation.contains(QStringLiteral("Reinstall Tavi")));
    QVERIFY(dict.lookup(0x2F800) != nullptr); // the user's entry was read all the same
}

void StartupTest::longMessagesAreCutAtWholeCharacters()
{
    // 300 bytes: 'x' and then 中 from byte 1 on; 255 falls inside a character.
    const QString message = QStringLiteral("x") + QString(100, QChar(0x4E2D));
    const QByteArray utf8 = message.toUtf8();
    minorError("Error", utf8.constData(), 0);
    QCOMPARE(g_alerts->requests.size(), size_t(1));
    // Without an error code the title shows alone.
    QCOMPARE(g_alerts->requests.front().message, QStringLiteral("Error"));
    QCOMPARE(g_alerts->requests.front().type, kAlertNoteAlert);
    QCOMPARE(g_alerts->requests.front().explanation,
             QStringLiteral("x") + QString(84, QChar(0x4E2D)));
}

// The interface's own text keeps its face, and its Han characters come from
// the Noto CJK faces rather than the system's choice.
void StartupTest::hanTextComesFromTheHanFaces()
{
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK TC")))
        QSKIP("the Noto CJK fonts are not installed");
    const QFont before = QGuiApplication::font();
    const QString face = QFontInfo(before).family();
    useHanFacesForText();
    auto faceOf = [](const QString& text) {
        QTextLayout layout(text, QGuiApplication::font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        return runs.isEmpty() ? QString() : runs.front().rawFont().familyName();
    };
    QCOMPARE(faceOf(QStringLiteral("Tavi")), face);
    QVERIFY2(faceOf(QStringLiteral("\u6C34")).startsWith(QStringLiteral("Noto Sans CJK")),
             qPrintable(faceOf(QStringLiteral("\u6C34"))));
    QCOMPARE(QFontInfo(QGuiApplication::font()).pointSizeF(), QFontInfo(before).pointSizeF());
    QGuiApplication::setFont(before);
}

void StartupTest::mainWindowsShowTheMenuBar_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<long>("tag");
    QTest::addColumn<int>("menuBars");
    QTest::newRow("dictionary") << QStringLiteral("DataBrowserWindow") << long(kDictionaryWindowTag)
                                << 1;
    QTest::newRow("feedback") << QStringLiteral("FeedbackWindow") << long(kFeedbackWindowTag) << 0;
}

void StartupTest::mainWindowsShowTheMenuBar()
{
    QFETCH(QString, resource);
    QFETCH(long, tag);
    QFETCH(int, menuBars);
    IBNibRef nib = nullptr;
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nib), noErr);
    QCOMPARE(SetMenuBarFromNib(nib, QStringLiteral("MenuBar")), noErr);
    WindowRef window = nullptr;
    QCOMPARE(CreateWindowFromNib(nib, resource, &window), noErr);
    SetWRefCon(window, tag);
    ShowWindow(window);
    // Shown again: no second menu bar.
    GetWindowWidget(window)->hide();
    ShowWindow(window);
    QCOMPARE(int(GetWindowWidget(window)->findChildren<QMenuBar*>().size()), menuBars);
    DisposeNibReference(nib);
}

void StartupTest::helpAboutShowsOneBoxWithTheVersionAndTheDataLicence()
{
    QList<QDialog*> boxes;
    DuringTheLoop during([&] {
        // Chosen twice: the open box comes forward, no second one opens.
        triggerMenuCommand("ABOU"_4cc);
        triggerMenuCommand("ABOU"_4cc);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QDialog*>(widget);
                box && box->isVisible() && box->objectName() == u"AboutBox")
                boxes << box;
        }
        // Not modal: the loop goes on and quits as usual.
        triggerMenuCommand("quit"_4cc);
    });
    QCOMPARE(runTavi(testLoader), noErr);
    QVERIFY(during.done && !during.timedOut);
    QCOMPARE(boxes.size(), 1);
    const QString text =
        boxes.first()->findChild<QTextBrowser*>(QStringLiteral("aboutText"))->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Tavi ") + QLatin1String(taviVersion())),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("GNU General Public License")));
    QVERIFY(text.contains(QStringLiteral("Unihan")) &&
            text.contains(QStringLiteral("Unicode License")));
    QVERIFY(g_alerts->requests.empty());
    boxes.first()->close();
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
