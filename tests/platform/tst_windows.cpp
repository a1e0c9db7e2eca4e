// Windows, controls, command propagation and alerts over real widgets.

#include "platform/alerts.h"
#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/internal.h"
#include "platform/menubar.h"
#include "platform/windows.h"
#include "tests/common/eventhelpers.h"
#include "tests/common/windowtesting.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStringList>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>
#include <vector>

namespace {

WindowRef makeWindow(const char* name)
{
    auto* widget = new QWidget;
    widget->setObjectName(QString::fromLatin1(name));
    widget->resize(200, 100);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    return window;
}

// A list that counts how often it has drawn its contents.
struct CountingView : QTreeView {
    int draws = 0;
    void paintEvent(QPaintEvent* event) override
    {
        ++draws;
        QTreeView::paintEvent(event);
    }
};

QWidget* addChild(WindowRef window, QWidget* child, const char* signature, int id)
{
    QWidget* top = GetWindowWidget(window);
    if (!top->layout())
        new QVBoxLayout(top);
    top->layout()->addWidget(child);
    child->setProperty("controlSignature", QString::fromLatin1(signature));
    child->setProperty("controlID", id);
    return child;
}

std::vector<WindowRef> frontToBack()
{
    std::vector<WindowRef> list;
    for (WindowRef w = FrontWindow(); w; w = GetNextWindow(w))
        list.push_back(w);
    return list;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Records which targets saw a command, and answers as told.
struct CommandSpy {
    QStringList seen;
    HICommand last{};
    EventHandlerRef install(EventTargetRef target, const QString& name, OSStatus answer)
    {
        return onEvent(target, kEventClassCommand, kEventCommandProcess,
                       [this, name, answer](EventRef event) {
                           seen.append(name);
                           last = commandOf(event);
                           return answer;
                       });
    }
};

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void windowListFollowsShowSelectActivateAndDispose();

    void controlValuesAndData();
    void workAfterTheFirstDrawWaitsForItAndRunsOnce();

    void dispatchRunsNewestFirstThenStandardThenParent();
    void commandPropagation_data();
    void commandPropagation();

    void theMessageBoxShowsPlainTitleOverExplanation();

    void windowsOpenWithinTheScreen_data();
    void windowsOpenWithinTheScreen();
    void aNarrowWindowShowsEveryMenuUnderALargeFont();
};

void WindowsTest::cleanup()
{
    wtest::disposeAllWindows();
    QVERIFY(GetWindowList().empty());
}

void WindowsTest::windowListFollowsShowSelectActivateAndDispose()
{
    QCOMPARE(FrontWindow(), nullptr);
    WindowRef a = makeWindow("a");
    WindowRef b = makeWindow("b");
    WindowRef c = makeWindow("c");
    QCOMPARE(FrontWindow(), nullptr); // nothing shown yet
    ShowWindow(a);
    ShowWindow(b);
    ShowWindow(c);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{c, b, a}));
    SelectWindow(a);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{a, c, b}));
    // Activation by the user brings a window to the front too.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(GetWindowWidget(b), &activate);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{b, a, c}));
    DisposeWindow(c);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{b, a}));
    QCOMPARE(GetWindowWidget(c), nullptr);
    flushDeletes();
}

void WindowsTest::workAfterTheFirstDrawWaitsForItAndRunsOnce()
{
    WindowRef a = makeWindow("a");
    auto* view = new CountingView;
    ControlRef list = GetControlFromWidget(addChild(a, view, "LIST", 1));
    QList<int> drawsBefore; // the draws done each time the work ran
    CallAfterFirstDraw(list, [&] { drawsBefore << view->draws; });
    QCoreApplication::processEvents();
    QVERIFY(drawsBefore.isEmpty()); // not shown, not drawn
    ShowWindow(a);
    QTRY_VERIFY(!drawsBefore.isEmpty());
    QVERIFY(drawsBefore.first() > 0);
    view->viewport()->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(drawsBefore.size(), 1);

    // A control that goes before it is drawn takes its work with it.
    WindowRef b = makeWindow("b");
    auto* gone = new QTreeView;
    bool ran = false;
    CallAfterFirstDraw(GetControlFromWidget(addChild(b, gone, "LIST", 2)), [&ran] { ran = true; });
    delete gone;
    ShowWindow(b);
    QCoreApplication::processEvents();
    QVERIFY(!ran);
}

void WindowsTest::controlValuesAndData()
{
    WindowRef a = makeWindow("a");
    // Pop-up items count from 1; one past the end selects nothing.
    auto* popUp = new QComboBox;
    popUp->addItems({QStringLiteral("one"), QStringLiteral("two")});
    ControlRef popUpControl = GetControlFromWidget(addChild(a, popUp, "RSEL", 128));
    SetControl32BitValue(popUpControl, 2);
    QCOMPARE(popUp->currentIndex(), 1);
    SetControl32BitValue(popUpControl, 3);
    QCOMPARE(popUp->currentIndex(), -1);

    auto* labelWidget = new QLabel;
    labelWidget->setTextFormat(Qt::RichText);
    ControlRef label = GetControlFromWidget(addChild(a, labelWidget, "TDSC", 128));
    // Label text is never markup.
    const QString text = u"<b>Search</b> \U0002A6A5"_qs;
    QCOMPARE(SetControlData(label, kControlEntireControl, kControlStaticTextCFStringTag,
                            sizeof text, &text),
             noErr);
    QCOMPARE(labelWidget->text(), text);
    QCOMPARE(labelWidget->textFormat(), Qt::PlainText);
    // A wrong size is refused before the data is read.
    QCOMPARE(SetControlData(label, 0, kControlEditTextCFStringTag, 4, &text), errDataSizeMismatch);
}

// Within a target, handlers run newest first, then the standard handler, then
// the parent's; a handler that consumes the event stops the rest, and
// handlers see only the kinds they asked for.
void WindowsTest::dispatchRunsNewestFirstThenStandardThenParent()
{
    constexpr EventClass kClass = FOUR_CHAR_CODE("test");
    auto parent = EventTarget::create();
    auto child = EventTarget::create();
    child->setParentResolver([p = parent.get()] { return p; });
    QStringList log;
    child->setStandardHandler([&](EventRef) {
        log.append(u"standard"_qs);
        return OSStatus(eventNotHandledErr);
    });
    auto record = [&](EventTarget* target, const QString& name, OSStatus answer) {
        onEvent(target, kClass, 1, [&log, name, answer](EventRef) {
            log.append(name);
            return answer;
        });
    };
    auto send = [&](EventKind kind) {
        EventRef event = nullptr;
        CreateEvent(nullptr, kClass, kind, 0, kEventAttributeNone, &event);
        const OSStatus status = SendEventToEventTarget(event, child.get());
        ReleaseEvent(event);
        return status;
    };
    record(parent.get(), u"parent"_qs, noErr);
    record(child.get(), u"oldest"_qs, eventNotHandledErr);
    record(child.get(), u"newest"_qs, eventNotHandledErr);
    QCOMPARE(send(1), noErr);
    QCOMPARE(log, (QStringList{u"newest"_qs, u"oldest"_qs, u"standard"_qs, u"parent"_qs}));

    log.clear();
    record(child.get(), u"consumer"_qs, noErr);
    QCOMPARE(send(1), noErr);
    QCOMPARE(log, QStringList{u"consumer"_qs});

    log.clear();
    QCOMPARE(send(2), eventNotHandledErr);
    QCOMPARE(log, QStringList{u"standard"_qs});
}

void WindowsTest::commandPropagation_data()
{
    QTest::addColumn<int>("controlAnswer");
    QTest::addColumn<int>("windowAnswer");
    QTest::addColumn<bool>("windowDisposesItself");
    QTest::addColumn<QString>("expectedPath");
    const int pass = eventNotHandledErr;
    QTest::newRow("control handles") << int(noErr) << pass << false << u"control"_qs;
    QTest::newRow("application handles")
        << pass << pass << false << u"control window application"_qs;
    // The command still goes on from a window that disposed of itself.
    QTest::newRow("window disposed in its handler")
        << pass << pass << true << u"control application"_qs;
}

void WindowsTest::commandPropagation()
{
    QFETCH(int, controlAnswer);
    QFETCH(int, windowAnswer);
    QFETCH(bool, windowDisposesItself);
    QFETCH(QString, expectedPath);
    WindowRef a = makeWindow("a");
    auto* button = new QPushButton(u"OK"_qs);
    button->setProperty("command", u"ok  "_qs);
    auto* holder = new QWidget;
    new QVBoxLayout(holder);
    holder->layout()->addWidget(button);
    addChild(a, holder, "PANE", 1);
    ConnectCommandSources(GetWindowWidget(a));

    CommandSpy spy;
    spy.install(GetControlEventTarget(GetControlFromWidget(button)), u"control"_qs, controlAnswer);
    spy.install(GetWindowEventTarget(a), u"window"_qs, windowAnswer);
    if (windowDisposesItself) {
        onEvent(GetWindowEventTarget(a), kEventClassCommand, kEventCommandProcess, [a](EventRef) {
            DisposeWindow(a);
            return eventNotHandledErr;
        });
    }
    EventHandlerRef appHandler = spy.install(GetApplicationEventTarget(), u"application"_qs, noErr);
    ShowWindow(a);
    QTest::mouseClick(button, Qt::LeftButton);
    RemoveEventHandler(appHandler);
    QCOMPARE(spy.seen.join(u' '), expectedPath);
    QCOMPARE(spy.last.commandID, kHICommandOK);
    QVERIFY(spy.last.attributes & kHICommandFromControl);
    QCOMPARE(GetWindowList().empty(), windowDisposesItself);
}

void WindowsTest::theMessageBoxShowsPlainTitleOverExplanation()
{
    QString text, informative;
    Qt::TextFormat format = Qt::AutoText;
    // The alert runs modally; the box is read and closed from inside its loop.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        format = box->textFormat();
        informative = box->informativeText();
        box->accept();
    });
    poll.start(10);
    SetAlertPresenter(nullptr);
    StandardAlert({kAlertNoteAlert, u"<i>Error</i>"_qs, u"<b>x</b> & y"_qs, {}, {}}, nullptr);
    QCOMPARE(text, u"<i>Error</i>"_qs);
    QCOMPARE(format, Qt::PlainText);
    // Markup in the explanation is shown as written.
    QTextDocument document;
    document.setHtml(informative);
    QCOMPARE(document.toPlainText(), u"<b>x</b> & y"_qs);
}

// A saved size, or a large font or scale factor, ran windows off a small
// screen. One that fits stays as it was asked to be.
void WindowsTest::windowsOpenWithinTheScreen_data()
{
    QTest::addColumn<QRect>("asked");       // position (-1, -1): left to the window system
    QTest::addColumn<int>("contentsWidth"); // the least its contents need
    QTest::addColumn<bool>("kept");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("fits: kept") << QRect(area.topLeft() + QPoint(10, 10), QSize(200, 100)) << 0
                                << true;
    QTest::newRow("fits, partly off the screen: kept, as placed")
        << QRect(area.right() - 50, area.top() + 10, 200, 100) << 0 << true;
    QTest::newRow("larger than the screen")
        << QRect(area.topLeft() + QPoint(40, 30), area.size() * 2) << 0 << false;
    QTest::newRow("larger, placed by the window system")
        << QRect(QPoint(-1, -1), area.size() + QSize(300, 1)) << 0 << false;
    // As a large font widens a narrow window's menu bar.
    QTest::newRow("placed near the edge, widened by its contents")
        << QRect(area.right() - 250, area.top() + 10, 200, 100) << 400 << false;
}

void WindowsTest::windowsOpenWithinTheScreen()
{
    QFETCH(QRect, asked);
    QFETCH(int, contentsWidth);
    QFETCH(bool, kept);
    auto* widget = new QWidget;
    if (contentsWidth > 0) {
        auto* layout = new QVBoxLayout(widget);
        auto* contents = new QWidget(widget);
        contents->setMinimumWidth(contentsWidth);
        layout->addWidget(contents);
    }
    widget->resize(asked.size());
    if (asked.topLeft() != QPoint(-1, -1))
        widget->move(asked.topLeft());
    WindowRef window = nullptr;
    QCOMPARE(CreateWindowFromWidget(widget, &window), noErr);
    ShowWindow(window);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // Where the frame goes is the window system's (move() places the frame).
    if (kept) {
        QCOMPARE(widget->size(), asked.size());
        QCOMPARE(widget->frameGeometry().topLeft(), asked.topLeft());
    } else {
        QVERIFY(widget->width() <= area.width() && widget->height() <= area.height());
        QVERIFY(widget->width() >= contentsWidth);
        if (asked.topLeft() != QPoint(-1, -1))
            QVERIFY(area.contains(widget->frameGeometry().topLeft()));
        // Within the screen, but for a frame the window system may add after
        // the program's estimate of it.
        const int frame = widget->frameGeometry().width() - widget->width();
        QVERIFY(widget->frameGeometry().right() <= area.right() + frame);
    }
}

// The floating window is narrow; under a 20-point font its menu bar put the
// last menus behind an extension button.
void WindowsTest::aNarrowWindowShowsEveryMenuUnderALargeFont()
{
    const QFont original = QApplication::font();
    const auto restore = qScopeGuard([&original] { QApplication::setFont(original); });
    QFont large = original;
    large.setPointSize(20);
    QApplication::setFont(large);
    auto* menus = new QMainWindow;
    for (const char* title : {"&File", "&Edit", "&View", "&Window", "&Help"})
        menus->menuBar()->addMenu(QString::fromLatin1(title))->addAction(u"Item"_qs);
    QCOMPARE(InstallMenuBar(menus), noErr);

    auto* widget = new QWidget;
    widget->setProperty("windowKind", u"utility"_qs);
    new QVBoxLayout(widget);
    widget->resize(120, 200);
    WindowRef window = nullptr;
    QCOMPARE(CreateWindowFromWidget(widget, &window), noErr);
    QCOMPARE(AttachMenuBarToWindow(window), noErr);
    ShowWindow(window);
    auto* bar = widget->findChild<QMenuBar*>();
    QVERIFY(bar);
    QCOMPARE(bar->actions().size(), 5);
    for (QAction* action : bar->actions()) {
        const QRect place = bar->actionGeometry(action);
        QVERIFY2(!place.isEmpty() && bar->rect().contains(place), qPrintable(action->text()));
    }
}

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
