#include "program/startup.h"

#include "program/appcommands.h"
#include "app/globals.h"
#include "app/prefs.h"
#include "app/servicesbridge.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/folders.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/progress.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"
#include "windows/history/historyfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace {

constexpr ControlID kLoadProgressID = {FOUR_CHAR_CODE("LOAD"), 128};

// Moves the loading window's progress bar as the loader reports. The event
// loop does not run yet, so each change is drawn and flushed at once -- at
// most about sixty times a second, which keeps the bar moving without making
// the drawing cost more than the loading.
class ProgressBarBinding final : public LoadProgress {
public:
    ProgressBarBinding(WindowRef window, ControlRef control) : m_window(window), m_control(control)
    {
    }

    void setProgressMaximum(int32_t maximum) override
    {
        SetControl32BitMaximum(m_control, maximum);
        redraw(true);
    }

    void setProgressValue(int32_t value) override
    {
        SetControl32BitValue(m_control, value);
        redraw(value >= GetControl32BitMaximum(m_control));
    }

private:
    void redraw(bool always)
    {
        if (!always && m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < 16)
            return;
        Draw1Control(m_control);
        QDFlushPortBuffer(GetWindowPort(m_window), nullptr);
        m_sinceDrawn.start();
    }

    WindowRef m_window;
    ControlRef m_control;
    QElapsedTimer m_sinceDrawn;
};

// The loading window stays until loading ends: a close request is declined.
OSStatus declineClose(EventHandlerCallRef, EventRef, void*)
{
    return noErr;
}

void centreOnScreen(WindowRef window)
{
    QWidget* widget = GetWindowWidget(window);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (widget == nullptr || screen == nullptr)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget->move(frame.topLeft());
}

void setUpApplication()
{
    setDesktopIdentity();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tavi"));
    // Quitting is the event loop's business (eventloop.h, windows.h). Qt's
    // own rule would already end the coming loop when a start-up alert, the
    // only window then, is closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const QString icon = GetBundleResourcesFolder() + QStringLiteral("/tavi.png");
    if (QGuiApplication::windowIcon().isNull() && QFileInfo::exists(icon))
        QGuiApplication::setWindowIcon(QIcon(icon));
}

// Shows the loading window while `loader` reads the dictionaries.
void loadBehindLoadingWindow(DictionaryLoader loader)
{
    WindowRef loadWindow = nullptr;
    const OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("LoadWindow"), &loadWindow);
    if (err != noErr) {
        minorError("Error", "Could not find window resource", err);
        loader(&dict, nullptr);
        return;
    }
    static const EventTypeSpec closeEvent[] = {{kEventClassWindow, kEventWindowClose}};
    InstallWindowEventHandler(loadWindow, NewEventHandlerUPP(declineClose),
                              GetEventTypeCount(closeEvent), closeEvent, nullptr, nullptr);
    centreOnScreen(loadWindow);
    ShowWindow(loadWindow);

    ControlRef progressControl = nullptr;
    if (GetControlByID(loadWindow, &kLoadProgressID, &progressControl) == noErr) {
        ProgressBarBinding progress(loadWindow, progressControl);
        QDFlushPortBuffer(GetWindowPort(loadWindow), nullptr);
        loader(&dict, &progress);
    } else {
        std::puts("The loading window has no progress bar");
        std::fflush(stdout);
        loader(&dict, nullptr);
    }
    DisposeWindow(loadWindow);
}

// Without a tray icon, a run without any window would leave the user
// nothing to reach the program by: the dictionary window opens instead, and
// when this build has none, the run ends at once.
void makeSureSomethingIsReachable()
{
    if (FrontWindow() != nullptr || GetMenuBarStatusIcon() != nullptr)
        return;
    createDictionaryWindow();
    if (FrontWindow() != nullptr)
        return;
    std::puts("No window to show and no system tray: quitting");
    std::fflush(stdout);
    QuitApplicationEventLoop();
}

} // namespace

void setDesktopIdentity()
{
    // The desktop entry's name: Wayland's app_id, and the class of X11's
    // WM_CLASS, by which the desktop ties windows to the launcher, its icon
    // and its actions.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.Quillon.Tavi"));
    QCoreApplication::setApplicationName(QStringLiteral("com.Quillon.Tavi"));
}

OSStatus runTavi()
{
    return runTavi(loadDictionaries);
}

OSStatus runTavi(DictionaryLoader loader)
{
    setUpApplication();
    // From here on SIGINT and SIGTERM end the run through shutdown; one that
    // comes during loading ends it as soon as the loop starts.
    InstallTerminationSignalHandlers();

    OSStatus err = CreateNibReference(QStringLiteral("Tavi"), &nibRef);
    if (err != noErr) {
        minorError("Error", "Could not load nib resource file", err);
        return err;
    }

    err = SetMenuBarFromNib(nibRef, QStringLiteral("MenuBar"));
    if (err != noErr) {
        minorError("Error", "Could not load menu bar", err);
        DisposeNibReference(nibRef);
        nibRef = nullptr;
        return err;
    }

    loadBehindLoadingWindow(loader);

    removeStaleSaveFiles();
    loadPrefs();
    loadHistory();
    showLargerCharactersChoice();

    if (globals.ShowDictionary)
        createDictionaryWindow();
    if (globals.ShowFloating)
        createFloatingWindow();
    makeSureSomethingIsReachable();

    // Kept only so that a test that runs start-up again does not stack a
    // second handler on the application.
    EventHandlerRef handler = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(applicationEventHandler),
                        GetEventTypeCount(kApplicationEventTypes), kApplicationEventTypes, nullptr,
                        &handler);
    desktopServicesReady();

    RunApplicationEventLoop();
    stopDesktopServices();
    stopSpeech();

    DisposeNibReference(nibRef);
    nibRef = nullptr;

    updateWindowPrefValues();
    savePrefs();
    saveHistory();

    RemoveEventHandler(handler);
    return noErr;
}

int exitStatusFor(OSStatus status)
{
    if (status == noErr)
        return 0;
    const int low = status & 0xFF;
    return low != 0 ? low : 1;
}
