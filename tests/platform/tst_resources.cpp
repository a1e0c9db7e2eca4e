// Interface resources from a folder of .ui files, and the menu bar.

#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/folders.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "platform/windows.h"

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

const char* const kLoadWindow = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>LoadWindow</class>
 <widget class="QWidget" name="LoadWindow">
  <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>80</height></rect></property>
  <layout class="QVBoxLayout" name="layout">
   <item>
    <widget class="QProgressBar" name="progress">
     <property name="controlSignature" stdset="0"><string>LOAD</string></property>
     <property name="controlID" stdset="0"><number>128</number></property>
    </widget>
   </item>
   <item>
    <widget class="QPushButton" name="okButton">
     <property name="text"><string>OK</string></property>
     <property name="command" stdset="0"><string>ok  </string></property>
    </widget>
   </item>
  </layout>
 </widget>
 <resources/>
 <connections/>
</ui>
)";

const char* const kMainWindow = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>DataBrowserWindow</class>
 <widget class="QMainWindow" name="DataBrowserWindow">
  <widget class="QWidget" name="central"/>
 </widget>
 <resources/>
 <connections/>
</ui>
)";

// A plain widget that is a main window by its kind.
const char* const kUtilityWindow = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>FloatingWindow</class>
 <widget class="QWidget" name="FloatingWindow">
  <property name="windowKind" stdset="0"><string>utility</string></property>
  <layout class="QVBoxLayout" name="layout">
   <item><widget class="QLabel" name="text"/></item>
  </layout>
 </widget>
 <resources/>
 <connections/>
</ui>
)";

const char* const kMenuBar = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>MenuBar</class>
 <widget class="QMainWindow" name="MenuBar">
  <widget class="QWidget" name="central"/>
  <widget class="QMenuBar" name="menubar">
   <widget class="QMenu" name="menuFile">
    <property name="title"><string>File</string></property>
    <addaction name="actionDictionary"/>
    <addaction name="actionQuit"/>
   </widget>
   <addaction name="menuFile"/>
  </widget>
  <action name="actionDictionary">
   <property name="text"><string>Dictionary</string></property>
   <property name="command" stdset="0"><string>DWIN</string></property>
  </action>
  <action name="actionQuit">
   <property name="text"><string>Quit</string></property>
   <property name="command" stdset="0"><string>quit</string></property>
  </action>
 </widget>
 <resources/>
 <connections/>
</ui>
)";

void writeFile(const QString& path, const char* content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

constexpr EventTypeSpec kCommandProcess{kEventClassCommand, kEventCommandProcess};

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void bundleResourcesAreBesideTheExecutable();
    void missingResources_data();
    void missingResources();
    void aWindowLoadsWithItsControlsAndCommands();
    void menuBarIsSharedByMainWindowsAndSendsToTheFrontWindow();
    void aMenuBarFileWithoutMenusIsRefused();

private:
    QTemporaryDir m_dir;
    IBNibRef m_nib = nullptr;
};

void ResourcesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Tavi")));
    const QString folder = m_dir.path() + QStringLiteral("/Tavi/");
    writeFile(folder + QStringLiteral("LoadWindow.ui"), kLoadWindow);
    writeFile(folder + QStringLiteral("DataBrowserWindow.ui"), kMainWindow);
    writeFile(folder + QStringLiteral("MenuBar.ui"), kMenuBar);
    writeFile(folder + QStringLiteral("FloatingWindow.ui"), kUtilityWindow);
    writeFile(folder + QStringLiteral("Broken.ui"), "<ui version=\"4.0\"><widget class=");
    writeFile(folder + QStringLiteral("NoMenus.ui"), kLoadWindow);
    SetBundleResourcesFolderOverride(m_dir.path());
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &m_nib), noErr);
    QVERIFY(m_nib);
}

void ResourcesTest::cleanup()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ResourcesTest::bundleResourcesAreBesideTheExecutable()
{
    SetBundleResourcesFolderOverride(QString());
    QCOMPARE(GetBundleResourcesFolder(),
             QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tavi")));
    SetBundleResourcesFolderOverride(m_dir.path());
    QCOMPARE(GetBundleResourcesFolder(), QDir::cleanPath(m_dir.path()));
}

void ResourcesTest::missingResources_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("status");
    QTest::newRow("missing folder") << QStringLiteral("Nowhere") << QString() << int(kIBCarbonRuntimeCantFindNibFile);
    QTest::newRow("folder name with a path") << QStringLiteral("../Tavi") << QString() << int(paramErr);
    QTest::newRow("missing window") << QStringLiteral("Tavi") << QStringLiteral("NoSuchWindow")
                                    << int(kIBCarbonRuntimeCantFindObject);
    QTest::newRow("window name with a path") << QStringLiteral("Tavi") << QStringLiteral("../Tavi/LoadWindow")
                                             << int(paramErr);
    QTest::newRow("empty window name") << QStringLiteral("Tavi") << QString() << int(paramErr);
    QTest::newRow("malformed file") << QStringLiteral("Tavi") << QStringLiteral("Broken")
                                    << int(kIBCarbonRuntimeObjectNotOfRequestedType);
}

void ResourcesTest::missingResources()
{
    QFETCH(QString, folder);
    QFETCH(QString, window);
    QFETCH(int, status);
    IBNibRef nib = nullptr;
    const OSStatus opened = CreateNibReference(folder, &nib);
    if (QTest::currentDataTag() == QByteArray("missing folder") ||
        QTest::currentDataTag() == QByteArray("folder name with a path")) {
        QCOMPARE(opened, OSStatus(status));
        QCOMPARE(nib, nullptr);
        return;
    }
    QCOMPARE(opened, noErr);
    WindowRef made = reinterpret_cast<WindowRef>(0x1);
    QCOMPARE(CreateWindowFromNib(nib, window, &made), OSStatus(status));
    QCOMPARE(made, nullptr);
    QVERIFY(GetWindowList().empty());
    DisposeNibReference(nib);
}

void ResourcesTest::aWindowLoadsWithItsControlsAndCommands()
{
    WindowRef window = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, QStringLiteral("LoadWindow"), &window), noErr);
    QVERIFY(window);
    QVERIFY(!IsWindowVisible(window));
    QCOMPARE(GetWindowWidget(window)->objectName(), QStringLiteral("LoadWindow"));
    const ControlID progressId{FOUR_CHAR_CODE("LOAD"), 128};
    ControlRef progress = nullptr;
    QCOMPARE(GetControlByID(window, &progressId, &progress), noErr);
    QVERIFY(qobject_cast<QProgressBar*>(GetControlWidget(progress)));
    SetControl32BitMaximum(progress, 1000);
    SetControl32BitValue(progress, 500);
    ShowWindow(window);
    Draw1Control(progress);
    QDFlushPortBuffer(GetWindowPort(FrontWindow()), nullptr);
    QCOMPARE(GetControl32BitValue(progress), 500);

    UInt32 received = 0;
    InstallEventHandlerFunction(
        GetWindowEventTarget(window),
        [&](EventHandlerCallRef, EventRef event) {
            HICommand command{};
            GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                              &command);
            received = command.commandID;
            return noErr;
        },
        1, &kCommandProcess, nullptr);
    auto* button = GetWindowWidget(window)->findChild<QPushButton*>(QStringLiteral("okButton"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(received, kHICommandOK);  // the trailing blanks of "ok  " survive the .ui file
}

void ResourcesTest::menuBarIsSharedByMainWindowsAndSendsToTheFrontWindow()
{
    WindowRef early = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, QStringLiteral("DataBrowserWindow"), &early), noErr);
    QCOMPARE(SetMenuBarFromNib(m_nib, QStringLiteral("MenuBar")), noErr);
    WindowRef late = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, QStringLiteral("DataBrowserWindow"), &late), noErr);
    WindowRef plain = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, QStringLiteral("LoadWindow"), &plain), noErr);

    const QList<QMenu*> menus = GetMenuBarMenus();
    QCOMPARE(menus.size(), 1);
    QAction* dictionary = menus.first()->actions().value(0);
    QAction* quit = menus.first()->actions().value(1);
    QVERIFY(dictionary && quit);
    QCOMPARE(quit->shortcut(), QKeySequence(QKeySequence::Quit));
    for (WindowRef window : {early, late}) {
        auto* mainWindow = qobject_cast<QMainWindow*>(GetWindowWidget(window));
        QVERIFY(mainWindow);
        QCOMPARE(mainWindow->menuBar()->actions().size(), 1);
        QVERIFY(mainWindow->menuBar()->actions().first()->menu()->actions().contains(dictionary));
    }
    // A window that is no main window gets no menu bar; a utility window does.
    QVERIFY(GetWindowWidget(plain)->findChildren<QMenuBar*>().isEmpty());
    WindowRef utility = nullptr;
    QCOMPARE(CreateWindowFromNib(m_nib, QStringLiteral("FloatingWindow"), &utility), noErr);
    QMenuBar* utilityBar = qobject_cast<QMenuBar*>(GetWindowWidget(utility)->layout()->menuBar());
    QVERIFY(utilityBar);
    QVERIFY(utilityBar->actions().first()->menu()->actions().contains(quit));
    // The content region and sizes leave the menu bar out, as the program
    // saves and compares them for its content alone.
    const int inset = WindowContentTopInset(GetWindowWidget(utility));
    QVERIFY(inset > 0);
    SizeWindow(utility, 200, 493, true);
    Rect content{};
    QCOMPARE(GetWindowBounds(utility, kWindowContentRgn, &content), noErr);
    QCOMPARE(content.bottom - content.top, 493);
    QCOMPARE(GetWindowWidget(utility)->height(), 493 + inset);
    Rect wanted;
    SetRect(&wanted, 30, 40, 230, 140);
    QCOMPARE(SetWindowBounds(utility, kWindowContentRgn, &wanted), noErr);
    QCOMPARE(GetWindowWidget(utility)->geometry(), QRect(30, 40 - inset, 200, 100 + inset));
    ControlRef text = GetControlFromWidget(GetWindowWidget(utility)->findChild<QWidget*>(QStringLiteral("text")));
    const HIRect frame{{6, 58}, {50, 20}};
    QCOMPARE(HIViewSetFrame(text, &frame), noErr);
    QCOMPARE(GetControlWidget(text)->geometry(), QRect(6, 58 + inset, 50, 20));
    HIRect readFrame{};
    HIViewGetFrame(text, &readFrame);
    QCOMPARE(readFrame.origin.y, 58.0f);
    // Without a tray on this platform, closing the last window ends the program.
    QCOMPARE(GetMenuBarStatusIcon() != nullptr, !QuitWhenLastWindowCloses());

    UInt32 frontSaw = 0;
    UInt32 backSaw = 0;
    auto recordInto = [](UInt32& into) {
        return [&into](EventHandlerCallRef, EventRef event) {
            HICommand command{};
            GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                              &command);
            into = command.commandID;
            return OSStatus(eventNotHandledErr);
        };
    };
    InstallEventHandlerFunction(GetWindowEventTarget(early), recordInto(backSaw), 1, &kCommandProcess, nullptr);
    InstallEventHandlerFunction(GetWindowEventTarget(late), recordInto(frontSaw), 1, &kCommandProcess, nullptr);
    UInt32 appSaw = 0;
    EventHandlerRef appHandler = nullptr;
    InstallEventHandlerFunction(GetApplicationEventTarget(), recordInto(appSaw), 1, &kCommandProcess,
                                &appHandler);
    ShowWindow(early);
    ShowWindow(late);
    dictionary->trigger();
    RemoveEventHandler(appHandler);
    QCOMPARE(frontSaw, FOUR_CHAR_CODE("DWIN"));
    QCOMPARE(backSaw, 0u);
    QCOMPARE(appSaw, FOUR_CHAR_CODE("DWIN"));
}

void ResourcesTest::aMenuBarFileWithoutMenusIsRefused()
{
    QCOMPARE(SetMenuBarFromNib(m_nib, QStringLiteral("NoMenus")), kIBCarbonRuntimeObjectNotOfRequestedType);
    QCOMPARE(SetMenuBarFromNib(m_nib, QStringLiteral("Missing")), kIBCarbonRuntimeCantFindObject);
    QVERIFY(GetWindowList().empty());
}

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
