#include "platform/urlaccess.h"

#include "platform/internal.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cstring>

namespace {

constexpr OSStatus kURLInvalidURLReferenceError = -30770;
constexpr OSStatus kURLInvalidURLError = -30773;
constexpr OSStatus kURLUnsupportedSchemeError = -30774;
constexpr OSStatus kURLUnknownPropertyError = -30778;
constexpr OSStatus kECONNRESETErr = -3253;
constexpr OSStatus kETIMEDOUTErr = -3259;
constexpr OSStatus kECONNREFUSEDErr = -3260;
constexpr OSStatus kEHOSTUNREACHErr = -3264;
constexpr int kURLDefaultTimeLimit = 30000;

int g_timeLimit = kURLDefaultTimeLimit;

// The status of a request that ended without an HTTP answer.
OSStatus networkStatus(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return kECONNREFUSEDErr;
    case QNetworkReply::RemoteHostClosedError:
        return kECONNRESETErr;
    case QNetworkReply::HostNotFoundError:
        return kEHOSTUNREACHErr;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // only the time limit aborts
        return kETIMEDOUTErr;
    case QNetworkReply::ProtocolUnknownError:
        return kURLUnsupportedSchemeError;
    default:
        return ioErr;
    }
}

} // namespace

Handle NewHandle(Size size)
{
    return new QByteArray(qsizetype(size > 0 ? size : 0), '\0');
}

void DisposeHandle(Handle handle)
{
    delete handle;
}

OSStatus URLNewReference(const char* url, URLReference* outRef)
{
    if (outRef == nullptr)
        return paramErr;
    *outRef = nullptr;
    if (url == nullptr)
        return kURLInvalidURLError;
    const QUrl parsed(QString::fromUtf8(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.isRelative())
        return kURLInvalidURLError;
    const QString scheme = parsed.scheme();
    if (scheme != u"http" && scheme != u"https")
        return kURLUnsupportedSchemeError;
    if (parsed.host().isEmpty())
        return kURLInvalidURLError;
    *outRef = new URLRequestRecord(parsed);
    return noErr;
}

OSStatus URLDisposeReference(URLReference ref)
{
    if (ref == nullptr)
        return kURLInvalidURLReferenceError;
    delete ref;
    return noErr;
}

OSStatus URLSetProperty(URLReference ref, const char* property, const void* buffer, Size size)
{
    if (ref == nullptr)
        return kURLInvalidURLReferenceError;
    if (property == nullptr || size < 0 || (size > 0 && buffer == nullptr))
        return paramErr;
    const QByteArray value(static_cast<const char*>(buffer), qsizetype(size));
    if (std::strcmp(property, kURLHTTPRequestMethod) == 0) {
        // A method is a token: letters only, as HTTP defines the usual ones.
        if (value.isEmpty())
            return paramErr;
        for (char c : value)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return paramErr;
        ref->method = value;
        return noErr;
    }
    if (std::strcmp(property, kURLHTTPRequestBody) == 0) {
        ref->body = value;
        ref->hasBody = true;
        return noErr;
    }
    return kURLUnknownPropertyError;
}

OSStatus URLDownload(URLReference ref, Handle destination)
{
    if (ref == nullptr)
        return kURLInvalidURLReferenceError;

    QNetworkAccessManager manager;
    QNetworkRequest request(ref->url);
    if (ref->hasBody)
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply* reply = ref->hasBody || ref->method != "GET"
                               ? manager.sendCustomRequest(request, ref->method, ref->body)
                               : manager.get(request);

    // Wait for the answer, but not for ever, and without letting the user
    // act on a window meanwhile (a second send, a close).
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    limit.start(g_timeLimit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    OSStatus status;
    if (timedOut && !reply->isFinished()) {
        reply->abort();
        status = kETIMEDOUTErr;
    } else {
        const QVariant httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (httpStatus.isValid()) {
            const int code = httpStatus.toInt();
            status = code >= 200 && code <= 299 ? noErr : OSStatus(code);
        } else {
            status = networkStatus(reply->error());
        }
        if (status == noErr && destination != nullptr)
            *destination = reply->readAll();
    }
    delete reply;
    return status;
}

void SetURLAccessTimeLimit(int milliseconds)
{
    g_timeLimit = milliseconds > 0 ? milliseconds : kURLDefaultTimeLimit;
}
