#include "program/startup.h"

#include "program/appcommands.h"
#include "app/globals.h"
#include "app/hanfont.h"
#include "app/prefs.h"
#include "app/servicesbridge.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/controls.h"
#include "platform/eventloop.h"
#include "platform/folders.h"
#include "platform/menubar.h"
#include "platform/nib.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/locations.h"
#include "store/progress.h"
#include "store/trace.h"
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
#include <vector>

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
    useHanFacesForText();
    const QString icon = GetBundleResourcesFolder() + QStringLiteral("/tavi.png");
    if (QGuiApplication::windowIcon().isNull() && QFileInfo::exists(icon))
        QGuiApplication::setWindowIcon(QIcon(icon));
}

// Shows the loading window while `loader` reads the dictionaries.
DictionaryLoadReport loadBehindLoadingWindow(DictionaryLoader loader)
{
    WindowRef loadWindow = nullptr;
    const OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("LoadWindow"), &loadWindow);
    if (err != noErr) {
        minorError("Error", "Could not find window resource", err);
        return loader(&dict, nullptr);
    }
    static const EventTypeSpec closeEvent[] = {{kEventClassWindow, kEventWindowClose}};
    InstallWindowEventHandler(loadWindow, NewEventHandlerUPP(declineClose),
                              GetEventTypeCount(closeEvent), closeEvent, nullptr, nullptr);
    centreOnScreen(loadWindow);
    ShowWindow(loadWindow);

    ControlRef progressControl = nullptr;
    DictionaryLoadReport report;
    if (GetControlByID(loadWindow, &kLoadProgressID, &progressControl) == noErr) {
        ProgressBarBinding progress(loadWindow, progressControl);
        QDFlushPortBuffer(GetWindowPort(loadWindow), nullptr);
        report = loader(&dict, &progress);
    } else {
        qCDebug(taviTrace, "The loading window has no progress bar");
        report = loader(&dict, nullptr);
    }
    DisposeWindow(loadWindow);
    return report;
}

// A damaged installation: the user is told once, and the run goes on with
// what could be read (the user's own dictionary at least). A user dictionary
// that cannot be read is said on standard error; it is only appended to.
void reportUnreadableDictionaries(const DictionaryLoadReport& report)
{
    if (!report.user.ok())
        std::fprintf(stderr, "Tavi could not read your dictionary %s\n",
                     qUtf8Printable(report.user.describe()));
    if (report.shippedReadable())
        return;
    const ReadResult& failure = report.shippedFailure();
    std::fprintf(stderr, "Tavi could not read its dictionary %s\n",
                 qUtf8Printable(failure.describe()));
    AlertRequest alert;
    alert.type = kAlertCautionAlert;
    alert.message = QStringLiteral("Tavi could not read its dictionary");
    alert.explanation =
        QStringLiteral("%1\n\nReinstall Tavi to restore it. Until then Tavi shows only the "
                       "entries of your own dictionary.")
            .arg(failure.describe());
    SInt16 item = 0;
    StandardAlert(alert, &item);
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
    std::fputs("No window to show and no system tray: quitting\n", stderr);
    QuitApplicationEventLoop();
}

// Saves the preferences, the history and the user's edits at quit. When a
// file cannot be written the user is asked to try again (after making room,
// say) or to quit without it; after a signal no one may be there to ask, and
// the failure goes to standard error.
void saveAtQuit()
{
    for (;;) {
        std::vector<SaveFailure> failures;
        savePrefs(&failures);
        saveHistory(&failures);
        if (failures.empty())
            return;
        QString files;
        for (const SaveFailure& failure : failures)
            files += QStringLiteral("\"%1\": %2.\n").arg(failure.path, failure.reason);
        files.chop(1);
        std::fprintf(stderr, "Tavi could not save:\n%s\n", qUtf8Printable(files));
        if (WasApplicationQuitBySignal() ||
            !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        AlertRequest request;
        request.type = kAlertCautionAlert;
        request.message = QStringLiteral("Tavi could not save before quitting.");
        request.explanation = files + QStringLiteral("\n\nTry again once the problem is "
                                                     "mended, or quit and lose what this "
                                                     "session did not save.");
        request.defaultText = QStringLiteral("Try Again");
        request.cancelText = QStringLiteral("Quit Without Saving");
        SInt16 item = kAlertStdAlertOKButton;
        StandardAlert(request, &item);
        if (item == kAlertStdAlertCancelButton) {
            std::fputs("Tavi quit without saving\n", stderr);
            return;
        }
    }
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
    // From here on SIGINT, SIGTERM and SIGHUP end the run through shutdown;
    // one that comes during loading ends it as soon as the loop starts.
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

    reportUnreadableDictionaries(loadBehindLoadingWindow(loader));

    removeStaleSaveFiles();
    loadPrefs();
    const ReadResult historyRead = loadHistory();
    if (!historyRead.ok())
        std::fprintf(stderr,
                     "Tavi could not read its history %s\nIt is left as it is; this session's "
                     "look-ups are not saved to it.\n",
                     qUtf8Printable(historyRead.describe()));
    showLargerCharactersChoice();
    showFeedbackChoice();

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
    saveAtQuit();

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
