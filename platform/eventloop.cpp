#include "platform/eventloop.h"

#include "platform/internal.h"

#include <QCoreApplication>
#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool loopRunning = false;
bool quitRequested = false;
bool quitBySignal = false;
int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: when the pipe is full a quit is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void drainSignalPipe()
{
    char buffer[64];
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
}

// Before the loop runs (at start-up), the quit waits for it; an alert that
// start-up shows meanwhile is closed, so that a logout never waits on it.
void requestQuitBeforeLoop()
{
    quitRequested = true;
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
}

} // namespace

bool InstallTerminationSignalHandlers()
{
    static bool installed = false;
    if (installed)
        return true;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fprintf(stderr, "Cannot watch for termination signals without an application\n");
        return false;
    }
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "Cannot make the signal pipe: %s\n", std::strerror(errno));
        return false;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        drainSignalPipe();
        quitBySignal = true;
        QuitApplicationEventLoop();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SIGHUP: the terminal Tavi was started from has closed.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signalNumber, &action, nullptr) != 0)
            std::fprintf(stderr, "Cannot handle signal %d: %s\n", signalNumber,
                         std::strerror(errno));
    }
    // A closed standard output (or any pipe) is a failed write, not the end.
    std::signal(SIGPIPE, SIG_IGN);
    installed = true;
    return true;
}

void RunApplicationEventLoop()
{
    if (!QCoreApplication::instance())
        return;
    InstallTerminationSignalHandlers();
    // The layer decides when closing windows ends the program (windows.h);
    // Qt would also end it when a last alert closes.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(false);
    if (quitRequested) {
        quitRequested = false;
        return;
    }
    // A signal of an earlier run (tests run several) is not this one's.
    quitBySignal = false;
    loopRunning = true;
    QCoreApplication::exec();
    loopRunning = false;
    quitRequested = false;
}

void QuitApplicationEventLoop()
{
    if (loopRunning)
        // exit() leaves every loop of the thread, modal ones included, and
        // unlike quit() closes no window: windows still open at quit are saved
        // as open.
        QCoreApplication::exit(0);
    else
        requestQuitBeforeLoop();
}

bool WasApplicationQuitBySignal()
{
    return quitBySignal;
}

bool IsApplicationQuitPending()
{
    return quitRequested;
}

bool IsApplicationEventLoopRunning()
{
    return loopRunning;
}
