#include "app/process.h"

#include "platform/activation.h"
#include "platform/windows.h"

#include <QApplication>
#include <QWidget>

#include <vector>

OSErr GetCurrentProcess(ProcessSerialNumber* outPSN)
{
    if (outPSN == nullptr)
        return paramErr;
    *outPSN = {0, kCurrentProcess};
    return noErr;
}

OSErr SetFrontProcess(const ProcessSerialNumber* psn)
{
    if (psn == nullptr)
        return paramErr;
    if (psn->highLongOfPSN != 0 || psn->lowLongOfPSN != kCurrentProcess)
        return procNotFound;
    // Raised from the back to the front, so the front window ends on top.
    const std::vector<WindowRef> windows = GetWindowList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QWidget* widget = GetWindowWidget(*it);
        if (widget == nullptr || !widget->isVisible())
            continue;
        if (widget->isMinimized())
            widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
        widget->raise();
    }
    // The window activated is the one in front once the current event is
    // done: the caller may select another window after this call.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            if (QWidget* widget = GetWindowWidget(FrontWindow()))
                ActivateWindowWidget(widget);
        },
        Qt::QueuedConnection);
    return noErr;
}
