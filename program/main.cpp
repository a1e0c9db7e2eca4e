// Tavi: a desktop dictionary of Chinese characters.
#include "app/servicesbridge.h"
#include "program/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
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
