// A helper of the services tests: owns the X11 primary selection and the
// clipboard with the given texts until its standard input closes; an empty
// text leaves that one alone.
//   selectionowner SELECTION CLIPBOARD
// Prints "ready" once it owns them.
#include <QApplication>
#include <QClipboard>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    QApplication app(argc, argv);
    const QString selection = QString::fromUtf8(argv[1]);
    const QString clipboardText = QString::fromUtf8(argv[2]);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!selection.isEmpty())
        clipboard->setText(selection, QClipboard::Selection);
    if (!clipboardText.isEmpty())
        clipboard->setText(clipboardText, QClipboard::Clipboard);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
