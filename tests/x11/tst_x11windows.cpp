// The windows on a real X server with a window manager (Xvfb and openbox,
// started here): where windows open, what fills them, and where the focus
// goes. Qt's own X11 platform carries every event, so frames, placement and
// activation are the window manager's, as in use.

#include "tests/common/desktop.h"
#include "tests/floating/floatingtest.h"
#include "tests/services/servicestest.h"

#include "program/appcommands.h"
#include "program/services.h"
#include "app/servicesbridge.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/internal.h"
#include "platform/databrowser.h"
#include "platform/menubar.h"
#include "platform/menus.h"
#include "platform/nib.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>
#include <QWindow>

namespace {

QWidget* windowWidget(long tag)
{
    return GetWindowWidget(FindMyWindow(tag, false));
}

ControlRef control(long tag, const ControlID& id)
{
    ControlRef found = nullptr;
    GetControlByID(FindMyWindow(tag, false), &id, &found);
    return found;
}

// A widget's rectangle in its window's coordinates.
QRect inWindow(QWidget* widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

// Whether the split view, the list and the text view fill the content as
// they should: the split view exactly, the panes within it.
bool splitViewFills(QString* why)
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    Rect bounds{};
    GetWindowBounds(window, kWindowContentRgn, &bounds);
    QWidget* top = GetWindowWidget(window);
    const QRect content(0, WindowContentTopInset(top), top->width(),
                        top->height() - WindowContentTopInset(top));
    const HIRect expected = splitViewFrame(bounds);
    const QRect wanted(content.left() + int(expected.origin.x),
                       content.top() + int(expected.origin.y), int(expected.size.width),
                       int(expected.size.height));
    const QRect split = inWindow(GetControlWidget(control(kDictionaryWindowTag, kViewPaneID)));
    const QRect list =
        inWindow(GetControlWidget(control(kDictionaryWindowTag, kDictBrowserPaneID)));
    const QRect text = inWindow(GetControlWidget(control(kDictionaryWindowTag, kTextPaneID)));
    why->clear();
    QDebug(why).nospace() << "content " << content << " split " << split << " wanted " << wanted
                          << " list " << list << " text " << text;
    return split == wanted && split.contains(list) && split.contains(text) &&
           text.bottom() == split.bottom() && list.right() == split.right();
}

// Every window the window manager has framed and shown.
bool framed(QWidget* widget)
{
    return widget && widget->isVisible() && widget->frameGeometry() != widget->geometry();
}

// Framed, and where the window manager put it: the frame has not moved for
// a moment (a loaded machine maps a window before it is placed).
bool settled(QWidget* widget)
{
    if (!framed(widget))
        return false;
    const QRect before = widget->frameGeometry();
    QTest::qWait(150);
    return widget->frameGeometry() == before;
}

void serve(const QString& message, const QString& text)
{
    StdoutCapture quiet;
    performServiceMessage(message, text);
}

// The X server and window manager of this run, when both can be started.
struct XDisplay {
    QProcess server;
    QProcess manager;
    bool ready = false;

    XDisplay()
    {
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        const QString display = wtest::startXvfb(server, QStringLiteral("1600x1000x24"));
        if (openbox.isEmpty() || display.isEmpty())
            return;
        qputenv("DISPLAY", display.toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Qt reads what the window manager supports when it connects: the
        // manager must be up first. It runs the start-up command when it is.
        manager.start(openbox, {QStringLiteral("--startup"), QStringLiteral("echo openbox-ready")});
        while (manager.waitForReadyRead(20000)) {
            if (manager.readAllStandardOutput().contains("openbox-ready")) {
                ready = true;
                break;
            }
        }
    }
    ~XDisplay()
    {
        wtest::stopProcess(manager);
        wtest::stopProcess(server);
    }
};

bool g_haveDisplay = false;
bool g_haveBus = false;

} // namespace

class X11WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void splitViewFillsTheWindowAfterARestart();
    void floatingWindowOpensWhollyOnTheScreen_data();
    void floatingWindowOpensWhollyOnTheScreen();
    void deleteInTheDrawerRemovesTheClickedRows();
    void quickLookUpLeavesTheFocusWithTheOtherProgram();
    void theSearchFieldAndTheListAnswerTheKeys();
    void aMinimisedDictionaryWindowComesBack_data();
    void aMinimisedDictionaryWindowComesBack();

private:
    std::unique_ptr<ftest::AlertRecorder> alerts;
};

void X11WindowsTest::initTestCase()
{
    if (!g_haveDisplay)
        QSKIP("Xvfb or openbox is not installed");
    ftest::loadFixtureDictionary();
    QVERIFY(ftest::openResources());
    alerts = std::make_unique<ftest::AlertRecorder>();
    ftest::installApplicationHandler();
    // The window manager is up once it frames a window.
    QWidget probe;
    probe.show();
    QTRY_VERIFY_WITH_TIMEOUT(framed(&probe), 20000);
}

void X11WindowsTest::init()
{
    ftest::resetGlobals();
    history = {0, 1, 2, 3};
}

void X11WindowsTest::cleanup()
{
    ftest::disposeAllWindows();
    QVERIFY(alerts->recorded->requests.empty());
}

void X11WindowsTest::splitViewFillsTheWindowAfterARestart()
{
    globals.DictLeftCorner = 100;
    globals.DictTopCorner = 80;
    globals.DictRightCorner = 1300;
    globals.DictBottomCorner = 840;
    for (int run = 0; run < 2; ++run) { // the second run opens at the bounds the first saved
        createDictionaryWindow();
        QWidget* window = windowWidget(kDictionaryWindowTag);
        QTRY_VERIFY_WITH_TIMEOUT(framed(window), 10000);
        QString why;
        QTRY_VERIFY2_WITH_TIMEOUT(splitViewFills(&why), qPrintable(why), 5000);
        const float ratio = 0.3f; // the divider dragged
        SetControlData(control(kDictionaryWindowTag, kViewPaneID), 0, FOUR_CHAR_CODE("svsr"),
                       sizeof ratio, &ratio);
        window->close();
        QTRY_VERIFY(!FindMyWindow(kDictionaryWindowTag, false));
        QCOMPARE(globals.DictRightCorner - globals.DictLeftCorner, 1200);
        QCOMPARE(globals.DictBottomCorner - globals.DictTopCorner, 760);
    }
    // Resized by the window manager, it fills the window still.
    createDictionaryWindow();
    QWidget* window = windowWidget(kDictionaryWindowTag);
    QTRY_VERIFY_WITH_TIMEOUT(framed(window), 10000);
    window->resize(900, 600);
    QTRY_COMPARE(window->size(), QSize(900, 600));
    QString why;
    QTRY_VERIFY2_WITH_TIMEOUT(splitViewFills(&why), qPrintable(why), 5000);
}

void X11WindowsTest::floatingWindowOpensWhollyOnTheScreen_data()
{
    QTest::addColumn<bool>("withDictionary");
    QTest::addColumn<QPoint>("saved");    // the saved corner; (-1, -1): none
    QTest::addColumn<QPoint>("expected"); // the content's corner; (-1, -1): anywhere on screen
    const QPoint none(-1, -1);
    QTest::newRow("first run, beside the dictionary window") << true << none << none;
    QTest::newRow("first run, no dictionary window") << false << none << none;
    QTest::newRow("saved on the screen: kept") << true << QPoint(300, 240) << QPoint(300, 240);
    QTest::newRow("saved with the title bar above the screen") << true << QPoint(0, 0) << none;
    QTest::newRow("saved on a screen that has gone") << true << QPoint(2500, 300) << none;
}

void X11WindowsTest::floatingWindowOpensWhollyOnTheScreen()
{
    QFETCH(bool, withDictionary);
    QFETCH(QPoint, saved);
    QFETCH(QPoint, expected);
    if (withDictionary) {
        createDictionaryWindow();
        QTRY_VERIFY_WITH_TIMEOUT(settled(windowWidget(kDictionaryWindowTag)), 10000);
    }
    globals.FloatLeftCorner = saved.x();
    globals.FloatTopCorner = saved.y();
    createFloatingWindow();
    QWidget* floating = windowWidget(kFloatingWindowTag);
    QTRY_VERIFY_WITH_TIMEOUT(settled(floating), 10000);
    const QRect frame = floating->frameGeometry();
    QVERIFY2(QGuiApplication::primaryScreen()->availableGeometry().contains(frame),
             qPrintable(QStringLiteral("frame at %1,%2").arg(frame.x()).arg(frame.y())));
    if (expected != QPoint(-1, -1)) {
        Rect bounds{};
        GetWindowBounds(FindMyWindow(kFloatingWindowTag, false), kWindowContentRgn, &bounds);
        QCOMPARE(QPoint(bounds.left, bounds.top), expected);
    } else if (withDictionary) {
        // Near the dictionary window's top-right corner.
        const QRect dictionary = windowWidget(kDictionaryWindowTag)->frameGeometry();
        QString where;
        QDebug(&where) << "floating" << frame << "dictionary" << dictionary;
        QVERIFY2(qAbs(frame.top() - dictionary.top()) < 100, qPrintable(where));
        QVERIFY2(qAbs(frame.left() - dictionary.right()) < 300, qPrintable(where));
    }
}

void X11WindowsTest::deleteInTheDrawerRemovesTheClickedRows()
{
    sendApplicationCommand("LHWN"_4cc);
    QWidget* drawer = windowWidget(kHistoryWindowTag);
    QTRY_VERIFY_WITH_TIMEOUT(drawer && drawer->isVisible(), 10000);
    const ControlID listID{"HSDB"_4cc, 128};
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(control(kHistoryWindowTag, listID)));
    QVERIFY(QTest::qWaitForWindowExposed(drawer));
    drawer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(drawer));
    view->setFocus();
    QTRY_VERIFY(!view->visualRect(view->model()->index(2, 0)).isEmpty());
    // Rows 1 and 3 chosen with the mouse; the window manager acts on any
    // activation this asks for before the key is pressed.
    for (int row : {0, 2}) {
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton,
                          row == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          QPoint(rect.left() + 4, rect.center().y()));
    }
    QTest::qWait(500);
    QVERIFY(IsDataBrowserItemSelected(control(kHistoryWindowTag, listID), 3));
    QVERIFY(QGuiApplication::focusWindow());
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Delete);
    QCOMPARE(history, (std::vector<uint32_t>{0, 2}));
}

void X11WindowsTest::quickLookUpLeavesTheFocusWithTheOtherProgram()
{
    createFloatingWindow();
    QTRY_VERIFY_WITH_TIMEOUT(framed(windowWidget(kFloatingWindowTag)), 10000);
    windowWidget(kFloatingWindowTag)->activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeWindow(), 5000);

    // Another program, whose new window the window manager gives the focus.
    QProcess other;
    QVERIFY(wtest::startOtherProgram(other));
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeWindow(), 10000);

    serve(QStringLiteral("LookupQuickly"), QStringLiteral("水"));
    QTest::qWait(500);
    QCOMPARE(QApplication::activeWindow(), nullptr);
    QCOMPARE(wtest::controlText(control(kFloatingWindowTag, ControlID{"CHAR"_4cc, 128})),
             QStringLiteral("水"));

    // "Lookup" brings the program forward, with the dictionary window active.
    serve(QStringLiteral("Lookup"), QStringLiteral("水"));
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeWindow() &&
                                 QApplication::activeWindow() == windowWidget(kDictionaryWindowTag),
                             5000);
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
}

void X11WindowsTest::theSearchFieldAndTheListAnswerTheKeys()
{
    for (dictFields* field : dict.fields)
        field->flags = 3;
    globals.DictLeftCorner = 100;
    globals.DictTopCorner = 80;
    globals.DictRightCorner = 900;
    globals.DictBottomCorner = 330; // room for a few rows only
    createDictionaryWindow();
    QWidget* window = windowWidget(kDictionaryWindowTag);
    QTRY_VERIFY_WITH_TIMEOUT(framed(window), 10000);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* edit =
        qobject_cast<QLineEdit*>(GetControlWidget(control(kDictionaryWindowTag, kSearchFieldID)));
    auto* view = qobject_cast<QTreeView*>(
        GetControlWidget(control(kDictionaryWindowTag, kDictBrowserPaneID)));
    const int everything = view->model()->rowCount();
    auto type = [](const char* text) {
        for (const char* c = text; *c; ++c)
            QTest::keyClick(QGuiApplication::focusWindow(), *c);
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QGuiApplication::focusWindow(), k, modifiers);
        QTest::qWait(50);
    };
    // From the top: the first row in view and current, none selected.
    auto fromTheTop = [view] {
        return view->verticalScrollBar()->value() == 0 && view->currentIndex().row() == 0 &&
               view->selectionModel()->selectedRows().isEmpty();
    };
    // The end of the list chosen with the mouse and the keyboard.
    auto scrollToTheEnd = [view, &key] {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->model()->index(0, 0)).center());
        key(Qt::Key_End);
        QTRY_VERIFY(view->verticalScrollBar()->value() > 0);
    };

    scrollToTheEnd();
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus());
    type("a");
    key(Qt::Key_Return);
    QVERIFY(view->model()->rowCount() < everything);
    QVERIFY(fromTheTop());

    // Escape lists everything again.
    key(Qt::Key_A, Qt::ControlModifier);
    type("water");
    key(Qt::Key_Return);
    const std::vector<DataBrowserItemID> water =
        wtest::listedItems(control(kDictionaryWindowTag, kDictBrowserPaneID));
    QVERIFY(water.size() < std::size_t(everything));
    key(Qt::Key_Escape);
    QCOMPARE(view->model()->rowCount(), everything);
    QVERIFY(edit->text().isEmpty());
    QVERIFY(fromTheTop());

    // Down goes to the first row; Return there opens it in the floating window.
    type("water");
    key(Qt::Key_Return);
    key(Qt::Key_Down);
    QTRY_VERIFY(view->hasFocus());
    QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    key(Qt::Key_Return);
    QTRY_VERIFY(FindMyWindow(kFloatingWindowTag, false));
    QCOMPARE(wtest::controlText(control(kFloatingWindowTag, ControlID{"CHAR"_4cc, 128})),
             dict.entries[water.front() - 1]->display);

    // Show: a field keeps the search: the first field, from the menu.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* filterMenu =
        qobject_cast<QComboBox*>(GetControlWidget(control(kDictionaryWindowTag, kFilterMenuID)));
    QTest::mouseClick(filterMenu, Qt::LeftButton);
    QTRY_VERIFY(filterMenu->view()->isVisible());
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    QCOMPARE(globals.filterState, 0);
    QCOMPARE(wtest::listedItems(control(kDictionaryWindowTag, kDictBrowserPaneID)), water);
    QVERIFY(fromTheTop());
}

void X11WindowsTest::aMinimisedDictionaryWindowComesBack_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Window › Dictionary Window") << QStringLiteral("menu");
    QTest::newRow("a second start of tavi") << QStringLiteral("start");
    QTest::newRow("the Lookup service") << QStringLiteral("Lookup");
}

void X11WindowsTest::aMinimisedDictionaryWindowComesBack()
{
    QFETCH(QString, way);
    if (GetMenuBarMenus().isEmpty())
        QCOMPARE(SetMenuBarFromNib(nibRef, QStringLiteral("MenuBar")), noErr);
    createDictionaryWindow();
    createFloatingWindow();
    QWidget* dictionary = windowWidget(kDictionaryWindowTag);
    QWidget* floating = windowWidget(kFloatingWindowTag);
    QTRY_VERIFY_WITH_TIMEOUT(settled(dictionary) && settled(floating), 10000);
    dictionary->showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(dictionary->isMinimized() && !dictionary->windowHandle()->isExposed(),
                             10000);

    if (way == u"menu") {
        floating->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(floating));
        auto* bar = floating->findChild<QMenuBar*>();
        QVERIFY(bar);
        QAction* windowMenu = nullptr;
        for (QAction* action : bar->actions()) {
            if (action->text() == u"&Window")
                windowMenu = action;
        }
        QVERIFY(windowMenu);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(windowMenu).center());
        QMenu* menu = windowMenu->menu();
        QTRY_VERIFY(menu->isVisible());
        QAction* item = wtest::menuItem("DWIN"_4cc);
        QVERIFY(item);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    } else if (way == u"start") {
        if (!g_haveBus)
            QSKIP("dbus-daemon is not installed");
        QCOMPARE(startDesktopServices(), DesktopServices::Offered);
        desktopServicesReady();
        const stest::Run run = stest::runProgram(stest::buildProgram("tavi"), {});
        stopDesktopServices();
        QVERIFY2(run.out.contains("Tavi runs already"), run.out.constData());
        QCOMPARE(run.exitCode, 0);
    } else {
        serve(QStringLiteral("Lookup"), QStringLiteral("水"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dictionary->isMinimized() && dictionary->windowHandle()->isExposed(),
                             10000);
    QCOMPARE(FrontWindow(), FindMyWindow(kDictionaryWindowTag, false));
    QCOMPARE(stest::windowsTagged(kDictionaryWindowTag), 1);
}

int main(int argc, char** argv)
{
    if (wtest::isOtherProgram(argc, argv))
        return wtest::runOtherProgram(argc, argv);
    XDisplay display;
    g_haveDisplay = display.ready;
    // Before anything in the process connects to a bus.
    stest::PrivateSessionBus bus;
    g_haveBus = bus.isRunning();
    QApplication app(argc, argv);
    X11WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11windows.moc"
