#include "windows/feedback/feedbackwindow.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/imageview.h"
#include "platform/nib.h"
#include "platform/urlaccess.h"
#include "platform/windows.h"
#include "store/trace.h"
#include "windows/feedback/feedbackendpoint.h"

#include <QPointer>

#include <cstdio>
#include <memory>

namespace {

const EventTypeSpec kFeedbackCommandEvents[] = {{kEventClassCommand, kEventCommandProcess}};

// The subject reads "Tavi 0.8b1 Feedback (in-app)" once decoded.
#define TAVI_FEEDBACK_BODY_FORMAT                                                                  \
    "recipient=%s&subject=Tavi%%200%%2E8b1%%20Feedback%%20%%28in%%2Dapp%%29"                       \
    "&realname=%s&email=%s&description=%s"

void setLogo(WindowRef window)
{
    QString logoURL;
    CGDataProviderRef provider = nullptr;
    CGImageRef image = nullptr;
    if (CopyBundleResourcePath(QStringLiteral("small_logo.png"), &logoURL) != noErr) {
        minorError("Error", "Unable to create Quillon logo reference", 0);
    } else if ((provider = CGDataProviderCreateWithURL(logoURL)) == nullptr) {
        minorError("Error", "Unable to locate Quillon logo.", 0);
    } else if ((image = CGImageCreateWithPNGDataProvider(provider)) == nullptr) {
        minorError("Error", "Unable to create image from file", 0);
    }

    ControlRef logoView = nullptr;
    OSStatus status = GetControlByID(window, &kFeedbackLogoID, &logoView);
    if (status == noErr)
        status = HIImageViewSetImage(logoView, image);
    if (status != noErr)
        minorError("Error", "Unable to set image field", status);

    CGImageRelease(image); // the view keeps its own copy
    CGDataProviderRelease(provider);
}

// The text of a field; empty when the window lacks it.
QString fieldText(WindowRef window, const ControlID& id)
{
    QString text;
    ControlRef control = nullptr;
    if (GetControlByID(window, &id, &control) == noErr)
        GetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof text,
                       &text, nullptr);
    return text;
}

char hexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 0xF];
}

bool isAsciiAlnum(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

void createFeedbackWindow()
{
    if (FindMyWindow(kFeedbackWindowTag, true) != nullptr)
        return;

    WindowRef window = nullptr;
    const OSStatus status = CreateWindowFromNib(nibRef, QStringLiteral("FeedbackWindow"), &window);
    if (status != noErr) {
        minorError("Error", "Could not load feedback window", status);
        return;
    }
    SetWRefCon(window, kFeedbackWindowTag);
    InstallWindowEventHandler(window, NewEventHandlerUPP(FeedbackWindowCommandHandler),
                              GetEventTypeCount(kFeedbackCommandEvents), kFeedbackCommandEvents,
                              window, nullptr);
    setLogo(window);
    ShowWindow(window);
}

OSStatus FeedbackWindowCommandHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                      nullptr, &command);
    if (command.commandID != kHICommandOK)
        return eventNotHandledErr;

    // The post waits in a nested loop; a send that arrives meanwhile is dropped.
    static bool posting = false;
    if (posting)
        return noErr;

    auto* window = static_cast<WindowRef>(userData);
    const QString name = fieldText(window, kFeedbackNameID);
    const QString email = fieldText(window, kFeedbackEmailID);
    const QString comments = fieldText(window, kFeedbackCommentsID);

    // The window may be closed by the window system while the post waits.
    const QPointer<PlatformWindow> stillOpen(window);
    posting = true;
    const bool sent = postComment(name, email, comments);
    posting = false;

    if (sent) {
        minorError("Thanks!", "Comments submitted successfully.", 0);
        if (stillOpen)
            DisposeWindow(window);
    } else {
        minorError("Error", "Tavi was not able to submit your comments.", 0);
    }
    return noErr;
}

bool postComment(const QString& name, const QString& email, const QString& description)
{
    std::unique_ptr<char[]> escapedName(convertCFSTRtoEscapedHTML(name));
    std::unique_ptr<char[]> escapedEmail(convertCFSTRtoEscapedHTML(email));
    std::unique_ptr<char[]> escapedDescription(convertCFSTRtoEscapedHTML(description));

    const FeedbackEndpoint endpoint = readFeedbackEndpoint();
    const int length =
        std::snprintf(nullptr, 0, TAVI_FEEDBACK_BODY_FORMAT, endpoint.recipient.constData(),
                      escapedName.get(), escapedEmail.get(), escapedDescription.get());
    if (length < 0) {
        minorError("Error", "Error setting up message", memFullErr);
        return false;
    }
    std::unique_ptr<char[]> body(new char[std::size_t(length) + 1]);
    std::snprintf(body.get(), std::size_t(length) + 1, TAVI_FEEDBACK_BODY_FORMAT,
                  endpoint.recipient.constData(), escapedName.get(), escapedEmail.get(),
                  escapedDescription.get());
    qCDebug(taviTrace, "%s", body.get());
    escapedName.reset();
    escapedEmail.reset();
    escapedDescription.reset();

    URLReference urlRef = nullptr;
    OSStatus status = URLNewReference(endpoint.url.constData(), &urlRef);
    if (status != noErr) {
        minorError("Error", "Error opening connection", status);
        return false;
    }
    const std::unique_ptr<URLRequestRecord, OSStatus (*)(URLReference)> disposeRef(
        urlRef, URLDisposeReference);

    status = URLSetProperty(urlRef, kURLHTTPRequestMethod, "POST", 4);
    if (status != noErr) {
        minorError("Error", "Error setting up message type", status);
        return false;
    }
    status = URLSetProperty(urlRef, kURLHTTPRequestBody, body.get(), length);
    if (status != noErr) {
        minorError("Error", "Error setting up message", status);
        return false;
    }

    // The answer is not read; only whether the endpoint accepted the form.
    Handle response = NewHandle(0);
    status = URLDownload(urlRef, response);
    DisposeHandle(response);
    if (status != noErr) {
        minorError("Error", "Tavi encountered an error while trying to transmit the message.",
                   status);
        return false;
    }
    return true;
}

char* convertCFSTRtoEscapedHTML(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    // Three characters for every byte, and the terminator.
    char* escaped = new char[std::size_t(utf8.size()) * 3 + 1];
    char* out = escaped;
    for (const char byte : utf8) {
        const auto c = static_cast<unsigned char>(byte);
        if (isAsciiAlnum(c)) {
            *out++ = char(c);
        } else {
            *out++ = '%';
            *out++ = hexDigit(c >> 4);
            *out++ = hexDigit(c);
        }
    }
    *out = '\0';
    qCDebug(taviTrace, "%s", escaped);
    return escaped;
}
