#pragma once
// Used only inside the layer (and by the layer's tests): what one module of
// the layer offers the others. System code uses the public headers.

#include "platform/events.h"

#include <QString>

// Status numbers only the layer returns.
constexpr OSStatus fnfErr = -43;
constexpr OSStatus errAECoercionFail = -1700;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus kIBCarbonRuntimeCantFindNibFile = -10960;
constexpr OSStatus kIBCarbonRuntimeObjectNotOfRequestedType = -10961;
constexpr OSStatus kIBCarbonRuntimeCantFindObject = -10962;
constexpr OSStatus errDataNotSupported = -30583;
constexpr OSStatus errUnknownControl = -30584;

// SendEventToEventTargetWithOptions: the event goes to the target only.
constexpr OptionBits kEventTargetDontPropagate = 1u << 0;

// Window events the layer itself handles, and a bit of the attributes of
// kEventWindowBoundsChanged.
constexpr EventKind kEventWindowActivated = 5;
constexpr EventKind kEventWindowClosed = 73;
constexpr UInt32 kWindowBoundsChangeOriginChanged = 1u << 3;

// HICommand::attributes: where the command came from.
constexpr UInt32 kHICommandFromMenu = 1u << 0;
constexpr UInt32 kHICommandFromControl = 1u << 1;
constexpr UInt32 kHICommandFromWindow = 1u << 2;

// The item data role under which a QComboBox item carries its command.
constexpr int kCommandIDRole = Qt::UserRole + 0x434D;

class QMainWindow;
class QObject;
class QWidget;

// types.cpp
QString fourCharCodeQString(FourCharCode code);
// Parses a text of exactly four Latin-1 characters (trailing blanks count),
// as the .ui files carry codes.
bool fourCharCodeFromString(const QString& text, FourCharCode* outCode);

// events.cpp: a handler that is a function object instead of a procedure
// and user data; sending without passing the event on to parent targets.
OSStatus InstallEventHandlerFunction(EventTargetRef target, EventHandlerFunction handler,
                                     ItemCount numTypes, const EventTypeSpec* typeList,
                                     EventHandlerRef* outRef);
OSStatus SendEventToEventTargetWithOptions(EventRef event, EventTargetRef target,
                                           OptionBits options);

// eventloop.cpp
bool IsApplicationEventLoopRunning();
// A quit came before the loop ran: the loop will return at once.
bool IsApplicationQuitPending();

// windows.cpp
// The window of a widget (or of the top-level widget holding it); null when
// the widget belongs to no window of the layer or the window is disposed.
WindowRef GetWindowFromWidget(const QWidget* widget);
EventTargetRef GetWindowEventTarget(WindowRef window);
// The target that keyboard and menu commands go to: the front window's, or
// the application's when no window is visible.
EventTargetRef GetUserFocusEventTarget();
// Pixels at the top of a window's widget taken by the menu bar the layer
// attached (0 when none). The content region, and the frames of controls
// placed directly in the window, start below it.
int WindowContentTopInset(const QWidget* windowWidget);
// Without a system tray, hiding or disposing of the last visible window while
// the loop runs ends the loop. The menu bar turns this off when it has made a
// tray icon from which the user can still reach the menus.
void SetQuitWhenLastWindowCloses(bool quit);

// controls.cpp: the frame in the parent's coordinates (below an attached
// menu bar for a control placed directly in a window).
OSStatus HIViewGetFrame(HIViewRef view, HIRect* outFrame);

// commands.cpp
// The command of a widget or action ("command" property); false when it has
// none or the text is not four Latin-1 characters.
bool GetObjectCommand(const QObject* object, UInt32* outCommandID);
// Makes every button, action and pop-up under root that carries a command
// send it when the user triggers it. Actions inside the window go to the
// window; those of menus outside any window (the menu bar) go to the focus
// target. Connecting twice does nothing more.
void ConnectCommandSources(QWidget* root);

// menubar.cpp: takes the menus of a loaded menu-bar window (which it keeps,
// hidden) as the menu bar, connects their commands (to the focus target),
// gives a Quit item without a shortcut the standard one, attaches the menu
// bar to the windows that want it, and makes the tray icon when there is a
// tray. kIBCarbonRuntimeObjectNotOfRequestedType when the window has no menu.
OSStatus InstallMenuBar(QMainWindow* source);

// folders.cpp: the XDG config home ($XDG_CONFIG_HOME, else ~/.config).
QString GetUserPreferencesFolder();
