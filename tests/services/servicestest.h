#pragma once
// Helpers shared by the services tests: Tavi's state in this process over
// the floating-window fixture dictionary, what its windows show, a private
// session bus, and the programs of the build tree.

#include "program/appcommands.h"
#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/events.h"
#include "platform/windows.h"
#include "tests/common/listview.h"
#include "tests/floating/floatingtest.h"
#include "windows/dictionary/dictionarywindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace stest {

// The fixture dictionary, the interface resources and the application
// handler, once per process; the preferences at their defaults.
inline bool setUpTavi()
{
    ftest::loadFixtureDictionary();
    ftest::resetGlobals();
    for (dictFields* field : dict.fields)
        field->flags = 3; // every field shown and searched
    ftest::installApplicationHandler();
    return ftest::openResources();
}

inline int windowsTagged(long tag)
{
    int count = 0;
    for (WindowRef window : GetWindowList()) {
        if (GetWRefCon(window) == tag)
            ++count;
    }
    return count;
}

inline ControlRef controlOf(long windowTag, FourCharCode signature)
{
    const ControlID id{signature, 128};
    ControlRef control = nullptr;
    GetControlByID(FindMyWindow(windowTag, false), &id, &control);
    return control;
}

inline QString textOf(long windowTag, FourCharCode signature)
{
    return wtest::controlText(controlOf(windowTag, signature));
}

inline QString searchFieldText()
{
    QString text;
    GetControlData(controlOf(kDictionaryWindowTag, "SRCH"_4cc), kControlEntireControl,
                   kControlEditTextCFStringTag, sizeof text, &text, nullptr);
    return text;
}

// The characters the dictionary window's list shows, in entry order.
inline QStringList listedCharacters()
{
    std::vector<DataBrowserItemID> items =
        wtest::listedItems(controlOf(kDictionaryWindowTag, "DBRS"_4cc));
    std::sort(items.begin(), items.end());
    QStringList characters;
    for (DataBrowserItemID item : items)
        characters << dict.entries[item - 1]->display;
    return characters;
}

// A session bus of our own for the whole test program, started before
// anything in the process connects to a bus, its address in
// DBUS_SESSION_BUS_ADDRESS for this process and every program it starts.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        FILE* daemon = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!daemon)
            return;
        char address[512] = {};
        char pid[32] = {};
        if (std::fgets(address, sizeof address, daemon) && std::fgets(pid, sizeof pid, daemon)) {
            m_address = QByteArray(address).trimmed();
            m_pid = std::atoi(pid);
        }
        ::pclose(daemon);
        if (!m_address.isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
    }
    ~PrivateSessionBus()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return m_pid > 0 && !m_address.isEmpty(); }

private:
    QByteArray m_address;
    int m_pid = 0;
};

// Runs the test object of type Test in an application of type App, on a
// session bus of its own; fails when dbus-daemon cannot start.
template <typename Test, typename App>
int execOnPrivateBus(int argc, char** argv)
{
    PrivateSessionBus bus;
    if (!bus.isRunning()) {
        std::fputs("cannot start dbus-daemon --session (package dbus)\n", stderr);
        return 1;
    }
    App app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

inline QString buildProgram(const char* name)
{
    return QStringLiteral(TAVI_BUILD_BIN_DIR "/") + QString::fromLatin1(name);
}

// How a program ran.
struct Run {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program while this process's event loop goes on, so that the
// services offered here answer it. stdinData null: standard input is
// /dev/null, as a keyboard shortcut gives it.
inline Run runProgram(const QString& program, const QStringList& arguments,
                      const QByteArray& stdinData = QByteArray(), int timeoutMs = 30000,
                      const QProcessEnvironment& environment = QProcessEnvironment())
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (stdinData.isNull())
        process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted(10000))
        return run;
    if (!stdinData.isNull()) {
        process.write(stdinData);
        process.closeWriteChannel();
    }
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && !timer.hasExpired(timeoutMs))
        QTest::qWait(10);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.finished = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace stest
