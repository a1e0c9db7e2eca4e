#include "client/textsource.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringDecoder>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Read at most this much of standard input: a UTF-8 text of kMaxTextUnits
// units is never longer.
constexpr qsizetype kMaxInputBytes = kMaxTextUnits * 3;

TextSource tooLong()
{
    return {QString(),
            QStringLiteral("the text is too long (more than %1 characters)").arg(kMaxTextUnits)};
}

} // namespace

TextSource textFromArguments(const QStringList& words)
{
    TextSource source{words.join(QLatin1Char(' ')), QString()};
    if (source.text.isEmpty())
        source.error = QStringLiteral("no text: the text arguments are empty");
    else if (source.text.size() > kMaxTextUnits)
        source = tooLong();
    return source;
}

bool standardInputHoldsText()
{
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) != 0)
        return false;
    return S_ISFIFO(status.st_mode) || S_ISREG(status.st_mode);
}

TextSource textFromStandardInput()
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {QString(), QStringLiteral("cannot read standard input: %1")
                                   .arg(QString::fromLocal8Bit(std::strerror(errno)))};
        }
        bytes.append(buffer, n);
        if (bytes.size() > kMaxInputBytes)
            return tooLong();
    }
    TextSource source = textFromBytes(bytes);
    if (source.badBytes)
        // Not a failure: the text goes on with U+FFFD in place of the bad bytes.
        std::fputs("tavi-service: standard input is not valid UTF-8; bad bytes are sent as "
                   "U+FFFD\n",
                   stderr);
    return source;
}

namespace {

TextSource decodeText(const QByteArray& bytes, const QString& whenEmpty)
{
    if (bytes.size() > kMaxInputBytes)
        return tooLong();
    QStringDecoder decoder(QStringDecoder::Utf8);
    TextSource source{QString(decoder(bytes)).trimmed(), QString()};
    source.badBytes = decoder.hasError();
    if (source.text.isEmpty())
        source.error = whenEmpty;
    else if (source.text.size() > kMaxTextUnits)
        source = tooLong();
    return source;
}

const char kNothingSelected[] = "no text: nothing is selected and the clipboard is empty";

} // namespace

TextSource textFromBytes(const QByteArray& bytes)
{
    return decodeText(bytes, QStringLiteral("no text: standard input is empty"));
}

TextSource textFromSelectionBytes(const QByteArray& bytes)
{
    return decodeText(bytes, QString::fromLatin1(kNothingSelected));
}

bool selectionAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

TextSource textFromSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    QString text;
    if (clipboard->supportsSelection())
        text = clipboard->text(QClipboard::Selection).trimmed();
    if (text.isEmpty())
        text = clipboard->text(QClipboard::Clipboard).trimmed();
    TextSource source{text, QString()};
    if (text.isEmpty())
        source.error = QString::fromLatin1(kNothingSelected);
    else if (text.size() > kMaxTextUnits)
        source = tooLong();
    return source;
}
