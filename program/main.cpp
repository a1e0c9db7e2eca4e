// Tavi: a desktop dictionary of Chinese characters.
#include "app/servicesbridge.h"
#include "program/startup.h"
#include "store/trace.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // --verbose: the trace lines of every step on standard output.
    showTraceLines(app.arguments().contains(QStringLiteral("--verbose")));
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
