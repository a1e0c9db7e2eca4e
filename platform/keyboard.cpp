#include "platform/keyboard.h"

#include "platform/internal.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// The character code of a Qt key and its text, as the event carries it.
static char RawKeyCharacterCode(int qtKey, const QString& text);

namespace {

const char* const kSendsProperty = "_taviRawKeyEvents";

// Watches the window's native window, which sees every key press of the
// window once, before the focus widget; and the window's widget, whose
// native window is made anew when it is shown again or changes its flags.
class RawKeySource : public QObject {
public:
    explicit RawKeySource(QWidget* top) : QObject(top), top(top) { attach(); }

    void attach()
    {
        QWindow* handle = top ? top->windowHandle() : nullptr;
        if (handle == watchedHandle)
            return;
        if (watchedHandle)
            watchedHandle->removeEventFilter(this);
        watchedHandle = handle;
        if (handle)
            handle->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == top) {
            const QEvent::Type type = event->type();
            if (type == QEvent::Show || type == QEvent::WinIdChange || type == QEvent::ParentChange)
                attach();
            return false;
        }
        if (watched != watchedHandle || event->type() != QEvent::KeyPress || !top ||
            !top->property(kSendsProperty).toBool())
            return false;
        WindowRef window = GetWindowFromWidget(top);
        return window && send(window, static_cast<QKeyEvent*>(event));
    }

private:
    static bool send(WindowRef window, const QKeyEvent* key)
    {
        ScopedEvent event(kEventClassKeyboard, kEventRawKeyDown);
        const char character = RawKeyCharacterCode(key->key(), key->text());
        const UInt32 code = UInt32(key->key());
        SetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, 1, &character);
        SetEventParameter(event, kEventParamKeyCode, typeUInt32, sizeof code, &code);
        return event.send(GetWindowEventTarget(window)) == noErr;
    }

    QPointer<QWidget> top;
    QPointer<QWindow> watchedHandle;
};

} // namespace

static char RawKeyCharacterCode(int qtKey, const QString& text)
{
    switch (qtKey) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete: // Delete removes, as Backspace does on the old platform's keyboards
        return 8;
    case Qt::Key_Return:
        return 13;
    case Qt::Key_Enter:
        return 3;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Left:
        return 28;
    case Qt::Key_Right:
        return 29;
    case Qt::Key_Up:
        return 30;
    case Qt::Key_Down:
        return 31;
    default:
        break;
    }
    if (text.size() == 1 && text[0].unicode() < 0x80)
        return char(text[0].unicode());
    return 0;
}

OSStatus SetWindowSendsRawKeyEvents(WindowRef window, Boolean send)
{
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return errInvalidWindowRef;
    top->setProperty(kSendsProperty, bool(send));
    if (send && !top->property("_taviRawKeySource").toBool()) {
        top->setProperty("_taviRawKeySource", true);
        auto* source = new RawKeySource(top);
        top->installEventFilter(source);
    }
    return noErr;
}
