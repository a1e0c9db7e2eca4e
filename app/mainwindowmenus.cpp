#include "app/mainwindowmenus.h"

#include "app/globals.h"
#include "platform/menubar.h"
#include "platform/windows.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

namespace {

// Watches top-level widgets being shown. The windows tag themselves right
// after they are made and before they are shown, so the tag is known here.
class MainWindowMenuBarFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || widget->findChild<QMenuBar*>() != nullptr)
            return false;
        WindowRef window = GetWindowFromWidget(widget);
        if (window != nullptr && isMainWindow(window))
            AttachMenuBarToWindow(window);
        return false;
    }
};

} // namespace

bool isMainWindow(WindowRef window)
{
    const SRefCon tag = GetWRefCon(window);
    return tag == SRefCon(kDictionaryWindowTag) || tag == SRefCon(kFloatingWindowTag);
}

void showMenuBarInMainWindows()
{
    static QPointer<QObject> filter;
    if (filter || qApp == nullptr)
        return;
    filter = new MainWindowMenuBarFilter(qApp);
    qApp->installEventFilter(filter);
}
