// Interface resources from a folder of .ui files, and the menu bar.

#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/internal.h"
#include "platform/folders.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "tests/common/eventhelpers.h"
#include "tests/common/windowtesting.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records the command of every command event on the target and passes it on.
EventHandlerRef recordCommands(EventTargetRef target, UInt32& into)
{
    return onEvent(target, kEventClassCommand, kEventCommandProcess, [&into](EventRef event) {
        into = commandOf(event).commandID;
        return OSStatus(eventNotHandledErr);
    });
}

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void missingResources_data();
    void missingResources();
    void menuBarIsSharedByMainWindowsAndSendsToTheFrontWindow();
    void interfaceFilesBringInNoDesignerPlugin();

private:
    QTemporaryDir m_dir;
    IBNibRef m_nib = nullptr;
};

void ResourcesTest::initTestCase()
{
    // The program's own interface files, and one that is broken.
    const QString folder = m_dir.path() + u"/Tavi/"_qs;
    QVERIFY(QDir().mkpath(folder));
    const QDir real(QStringLiteral(TAVI_BUILD_SHARE_DIR "/Tavi"));
    for (const QString& name : real.entryList({u"*.ui"_qs}))
        QVERIFY(QFile::copy(real.filePath(name), folder + name));
    QFile broken(folder + u"Broken.ui"_qs);
    QVERIFY(broken.open(QIODevice::WriteOnly) &&
            broken.write("<ui version=\"4.0\"><widget class=") > 0);
    broken.close();
    SetBundleResourcesFolderOverride(m_dir.path());
    QCOMPARE(CreateNibReference(u"Tavi"_qs, &m_nib), noErr);
}

void ResourcesTest::cleanup()
{
    wtest::disposeAllWindows();
}

void ResourcesTest::missingResources_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("status");
    QTest::newRow("window name with a path")
        << QStringLiteral("../Tavi/LoadWindow") << int(paramErr);
    QTest::newRow("malformed file")
        << QStringLiteral("Broken") << int(kIBCarbonRuntimeObjectNotOfRequestedType);
}

void ResourcesTest::missingResources()
{
    QFETCH(QString, window);
    QFETCH(int, status);
    WindowRef made = reinterpret_cast<WindowRef>(0x1);
    QCOMPARE(CreateWindowFromNib(m_nib, window, &made), OSStatus(status));
    QCOMPARE(made, nullptr);
    QVERIFY(GetWindowList().empty());
}

// Regression: each window's loader loaded Qt Designer's plugins, and with
// them all of Qt Quick, which cost start-up a tenth of its time.
void ResourcesTest::interfaceFilesBringInNoDesignerPlugin()
{
    WindowRef window = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, u"DataBrowserWindow"_qs, &window), noErr);
    QCOMPARE(SetMenuBarFromNib(m_nib, u"MenuBar"_qs), noErr);
    QFile maps(u"/proc/self/maps"_qs);
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY(!mapped.contains("/designer/"));
    QVERIFY(!mapped.contains("libQt6Quick"));
}

// Which windows show the bar is checked with the program's window tags in
// the application tests; here: windows made before the bar get it too, the
// content leaves it out, and its commands go to the front window.
void ResourcesTest::menuBarIsSharedByMainWindowsAndSendsToTheFrontWindow()
{
    WindowRef early = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, u"DataBrowserWindow"_qs, &early), noErr);
    QCOMPARE(SetMenuBarFromNib(m_nib, u"MenuBar"_qs), noErr);
    WindowRef late = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, u"DataBrowserWindow"_qs, &late), noErr);
    QAction* dictionary = wtest::menuItem("DWIN"_4cc);
    QVERIFY(dictionary);
    for (WindowRef window : {early, late})
        QCOMPARE(GetWindowWidget(window)->findChildren<QMenuBar*>().size(), 1);

    // The content region and sizes leave the menu bar out, as the program
    // saves and compares them for its content alone.
    WindowRef utility = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, u"FloatingWindow"_qs, &utility), noErr);
    QWidget* top = GetWindowWidget(utility);
    SizeWindow(utility, 200, 493, true);
    Rect content{};
    QCOMPARE(GetWindowBounds(utility, kWindowContentRgn, &content), noErr);
    QCOMPARE(content.bottom - content.top, 493);
    const int inset = top->height() - 493;
    QVERIFY(inset > 0);
    Rect wanted;
    SetRect(&wanted, 30, 40, 230, 140);
    QCOMPARE(SetWindowBounds(utility, kWindowContentRgn, &wanted), noErr);
    QCOMPARE(top->geometry(), QRect(30, 40 - inset, 200, 100 + inset));
    DisposeWindow(utility);

    UInt32 frontSaw = 0;
    UInt32 backSaw = 0;
    UInt32 appSaw = 0;
    recordCommands(GetWindowEventTarget(early), backSaw);
    recordCommands(GetWindowEventTarget(late), frontSaw);
    EventHandlerRef appHandler = recordCommands(GetApplicationEventTarget(), appSaw);
    ShowWindow(early);
    ShowWindow(late);
    dictionary->trigger();
    RemoveEventHandler(appHandler);
    QCOMPARE(frontSaw, FOUR_CHAR_CODE("DWIN"));
    QCOMPARE(backSaw, 0u);
    QCOMPARE(appSaw, FOUR_CHAR_CODE("DWIN"));
}

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
