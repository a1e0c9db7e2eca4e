// The feedback configuration reader on any file: it gives either nothing
// (url and recipient both empty) or an endpoint that is safe to post to --
// an http or https URL of a host, with the form-mail path and nothing else,
// and a recipient of letters, digits, '.', '_', '-' and '@' only.

#include "fuzz/fuzzsupport.h"
#include "windows/feedback/feedbackendpoint.h"

#include <QCoreApplication>
#include <QUrl>

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // for the life of the process
    fuzzsupport::silenceStdout();
    g_path = fuzzsupport::scratchPath("feedback.conf");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::writeFile(g_path, data, size);
    const FeedbackEndpoint endpoint = readFeedbackEndpoint(QString::fromStdString(g_path));
    FUZZ_CHECK(endpoint.url.isEmpty() == endpoint.recipient.isEmpty());
    if (endpoint.url.isEmpty())
        return 0;

    for (char c : endpoint.recipient)
        FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '_' || c == '-' || c == '@');
    FUZZ_CHECK(endpoint.recipient.contains('@'));

    for (char c : endpoint.url)
        FUZZ_CHECK(c > ' ' && c < 0x7F);
    const QUrl url = QUrl::fromEncoded(endpoint.url, QUrl::StrictMode);
    FUZZ_CHECK(url.isValid());
    FUZZ_CHECK(url.scheme() == u"http" || url.scheme() == u"https");
    FUZZ_CHECK(!url.host().isEmpty());
    FUZZ_CHECK(url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment());
    FUZZ_CHECK(url.path() == QLatin1String(kFormMailPath));
    FUZZ_CHECK(url.port() == -1 || (url.port() >= 1 && url.port() <= 65535));
    return 0;
}
