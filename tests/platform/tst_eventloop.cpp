// The event loop ends at once on a signal that came before it ran, and when
// the last window closes without a tray. Quit and SIGTERM during the loop are
// run through the whole start-up in the application tests.

#include "platform/eventloop.h"
#include "platform/internal.h"
#include "platform/windows.h"
#include "tests/common/windowtesting.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <csignal>

namespace {

// Runs the loop with a watchdog; true when something else than the watchdog
// ended it.
bool runLoopEndedNormally()
{
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(10000);
    RunApplicationEventLoop();
    return !timedOut;
}

WindowRef makeShownWindow()
{
    WindowRef window = nullptr;
    CreateWindowFromWidget(new QWidget, &window);
    ShowWindow(window);
    return window;
}

} // namespace

class EventLoopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void aSignalBeforeTheLoopRunsEndsItAtOnce();
    void closingTheLastWindowEndsTheLoopWithoutATray();
};

void EventLoopTest::initTestCase()
{
    QVERIFY(InstallTerminationSignalHandlers());
    SetQuitWhenLastWindowCloses(true);
}

void EventLoopTest::cleanup()
{
    wtest::disposeAllWindows();
}

void EventLoopTest::aSignalBeforeTheLoopRunsEndsItAtOnce()
{
    ::raise(SIGTERM);
    bool ranInside = false;
    QTimer::singleShot(200, qApp, [&] { ranInside = true; });
    QVERIFY(runLoopEndedNormally());
    QVERIFY(!ranInside);
    QCoreApplication::processEvents();
}

void EventLoopTest::closingTheLastWindowEndsTheLoopWithoutATray()
{
    WindowRef first = makeShownWindow();
    WindowRef second = makeShownWindow();
    bool secondClosed = false;
    QTimer::singleShot(20, qApp, [&] { GetWindowWidget(first)->close(); });
    QTimer::singleShot(100, qApp, [&] {
        secondClosed = true;
        GetWindowWidget(second)->close();
    });
    QVERIFY(runLoopEndedNormally());
    QVERIFY(secondClosed); // the loop ran on after the first close
    QCOMPARE(FrontWindow(), nullptr);
}

QTEST_MAIN(EventLoopTest)
#include "tst_eventloop.moc"
