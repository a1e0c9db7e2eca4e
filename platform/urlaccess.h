#pragma once
// URL access: one HTTP request to a URL, carried out with Qt Network and
// waited for synchronously. A reference is made for a URL, given its method
// and body as properties, and downloaded into a memory handle:
//
//   URLReference ref;
//   URLNewReference("https://host/path", &ref);
//   URLSetProperty(ref, kURLHTTPRequestMethod, "POST", 4);
//   URLSetProperty(ref, kURLHTTPRequestBody, body, bodyLength);
//   Handle response = NewHandle(0);
//   OSStatus status = URLDownload(ref, response);
//
// A body is sent as application/x-www-form-urlencoded, byte for byte.
// URLDownload runs a nested event loop that leaves out user input, so timers,
// sockets and repaints go on while the user cannot act on the windows. It
// gives up after the time limit (30 s unless set otherwise) and then fails
// with kETIMEDOUTErr. It succeeds only when the server answers with a 2xx
// status (after following redirects); another HTTP status is returned as is
// (404, 500: positive numbers, never mistaken for the negative errors below).
// Proxies are those of the application (QNetworkProxy).

#include "platform/types.h"

#include <QByteArray>
#include <QUrl>

// Errors of URL access.

// Property names.
constexpr const char* kURLHTTPRequestMethod = "URLHTTPRequestMethod"; // text, e.g. "POST"
constexpr const char* kURLHTTPRequestBody = "URLHTTPRequestBody";     // bytes

// A block of memory that grows to what is put into it.
using Handle = QByteArray*;
Handle NewHandle(Size size);
void DisposeHandle(Handle handle);

class URLRequestRecord {
public:
    explicit URLRequestRecord(QUrl url) : url(std::move(url)) {}
    const QUrl url;
    QByteArray method = QByteArrayLiteral("GET");
    QByteArray body;
    bool hasBody = false;
};
using URLReference = URLRequestRecord*;

// kURLInvalidURLError for a URL without host or not well formed,
// kURLUnsupportedSchemeError for a scheme other than http and https.
OSStatus URLNewReference(const char* url, URLReference* outRef);
OSStatus URLDisposeReference(URLReference ref);
// kURLUnknownPropertyError for another property name.
OSStatus URLSetProperty(URLReference ref, const char* property, const void* buffer, Size size);
// Performs the request; on success the response body replaces the handle's
// content.
OSStatus URLDownload(URLReference ref, Handle destination);

// How long URLDownload waits for the whole exchange, in milliseconds.
// For tests, which wait for a silent server for less.
void SetURLAccessTimeLimit(int milliseconds);
