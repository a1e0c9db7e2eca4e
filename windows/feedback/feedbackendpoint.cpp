#include "windows/feedback/feedbackendpoint.h"

#include "platform/folders.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QUrl>

#include <cstdio>

namespace {

void complain(const QString& path, const char* problem)
{
    std::fprintf(stderr, "Feedback configuration %s: %s\n", qUtf8Printable(path), problem);
}

bool isRecipientCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-' || c == '@';
}

bool isUsableRecipient(const QByteArray& recipient)
{
    if (recipient.isEmpty() || !recipient.contains('@'))
        return false;
    for (char c : recipient)
        if (!isRecipientCharacter(c))
            return false;
    return true;
}

// A domain reserved for examples and documentation, which reaches no one.
bool isExampleDomain(const QByteArray& domain)
{
    const QByteArray name = domain.toLower();
    for (const char* reserved : {"example", "invalid", "example.com", "example.net", "example.org"})
        if (name == reserved || name.endsWith(QByteArray(".") + reserved))
            return true;
    return false;
}

} // namespace

QString feedbackConfigPath()
{
    return QDir(GetBundleResourcesFolder()).filePath(QLatin1String(kFeedbackConfigFileName));
}

FeedbackEndpoint readFeedbackEndpoint()
{
    return readFeedbackEndpoint(feedbackConfigPath());
}

FeedbackEndpoint readFeedbackEndpoint(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        complain(path, "cannot be read");
        return {};
    }
    QMap<QByteArray, QByteArray> values;
    // A configuration is a few short lines; anything longer is not one.
    constexpr qint64 kMaxLine = 1024;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine(kMaxLine);
        if (raw.size() >= kMaxLine - 1 && !raw.endsWith('\n')) {
            complain(path, "line too long");
            return {};
        }
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            complain(path, "a line is not key = value");
            return {};
        }
        values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }

    const QByteArray scheme = values.value("scheme").toLower();
    if (scheme != "http" && scheme != "https") {
        complain(path, "scheme must be http or https");
        return {};
    }
    QUrl url;
    url.setScheme(QString::fromLatin1(scheme));
    url.setHost(QString::fromUtf8(values.value("host")), QUrl::StrictMode);
    if (url.host().isEmpty() || !url.isValid()) {
        complain(path, "bad or missing host");
        return {};
    }
    if (values.contains("port")) {
        bool ok = false;
        const int port = values.value("port").toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            complain(path, "port must be a number from 1 to 65535");
            return {};
        }
        url.setPort(port);
    }
    url.setPath(QLatin1String(kFormMailPath));
    const QByteArray recipient = values.value("recipient");
    if (!isUsableRecipient(recipient)) {
        complain(path, "recipient must be an address of letters, digits, '.', '_', '-' and '@'");
        return {};
    }
    const bool placeholder = isExampleDomain(url.host().toUtf8()) ||
                             isExampleDomain(recipient.mid(recipient.lastIndexOf('@') + 1));
    return {url.toEncoded(), recipient, placeholder};
}
