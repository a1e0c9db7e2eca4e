#pragma once

// Helpers of the tests that run on a desktop of their own: an X server, the
// other program that takes the focus from Tavi, and ending a program.

#include <QApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QWidget>

#include <unistd.h>

namespace wtest {

// Asks the program to end, and kills it when it has not within 5 s.
inline void stopProcess(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(2000);
}

// Starts Xvfb with one screen of `size` ("WxHxDEPTH"); its display (":N"),
// or empty when it is not installed or does not start.
inline QString startXvfb(QProcess& server, const QString& size)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return QString();
    server.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), size});
    if (!server.waitForStarted(10000) || !server.waitForReadyRead(20000))
        return QString();
    return u':' + QString::fromLatin1(server.readLine().trimmed());
}

// The other program of the focus tests is the test program itself, run with
// this argument: it shows a window and keeps it until its input closes.
constexpr char kOtherProgram[] = "--hold-focus";

inline bool isOtherProgram(int argc, char** argv)
{
    return argc > 1 && qstrcmp(argv[1], kOtherProgram) == 0;
}

inline int runOtherProgram(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Another program"));
    window.resize(300, 200);
    window.show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [] {
        char buffer[16];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

// Starts the other program (in `environment` when one is given); whether it
// started.
inline bool startOtherProgram(QProcess& other,
                              const QProcessEnvironment& environment = QProcessEnvironment())
{
    if (!environment.isEmpty())
        other.setProcessEnvironment(environment);
    other.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kOtherProgram)});
    return other.waitForStarted(10000);
}

} // namespace wtest
