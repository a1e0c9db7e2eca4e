// Tavi: a desktop dictionary of Chinese characters.
#include "app/servicesbridge.h"
#include "program/about.h"
#include "program/startup.h"
#include "store/trace.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (help || std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            const QByteArray text = (help ? helpText() : versionText()).toLocal8Bit();
            std::fputs(text.constData(), stdout);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
    }
    QApplication app(argc, argv);
    // --verbose: the trace lines of every step on standard output.
    showTraceLines(app.arguments().contains(QStringLiteral("--verbose")));
    // Qt has taken its own options out; Tavi reads no others.
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != QLatin1String("--verbose"))
            std::fprintf(stderr, "tavi: ignoring the argument '%s' (see tavi --help)\n",
                         arguments[i].toLocal8Bit().constData());
    }
    // One Tavi per session: a second start hands over to the first.
    switch (startDesktopServices()) {
    case DesktopServices::HandedOver:
        return 0;
    case DesktopServices::HandOverFailed:
        return 1;
    case DesktopServices::Offered:
    case DesktopServices::NoSessionBus:
    case DesktopServices::NameUnavailable:
        break;
    }
    return exitStatusFor(runTavi());
}
