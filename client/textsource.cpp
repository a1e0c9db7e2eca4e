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

// A text as it is sent, or why not. The bus carries no NUL: a text would
// silently end at the first one.
TextSource checked(TextSource source, const QString& noneWhy)
{
    if (!source.error.isEmpty())
        return source;
    if (source.text.isEmpty())
        source.error = noneWhy;
    else if (source.text.size() > kMaxTextUnits)
        source = tooLong();
    else if (source.text.contains(QChar(0)))
        source = {QString(), QStringLiteral("the text holds a NUL character, which Tavi's "
                                            "services cannot take")};
    return source;
}

} // namespace

TextSource textFromArguments(const QStringList& words)
{
    return checked({words.join(QLatin1Char(' ')), QString()},
                   QStringLiteral("no text: the text arguments are empty"));
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
        // Room for the line break that ends the text.
        if (bytes.size() > kMaxInputBytes + 2)
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

const char kNothingSelected[] = "no text: nothing is selected and the clipboard is empty";

static TextSource decodeText(const QByteArray& input, const QString& whenEmpty)
{
    // The line break that ends the last line is not part of the text.
    QByteArrayView bytes(input);
    if (bytes.endsWith('\n'))
        bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
    if (bytes.size() > kMaxInputBytes)
        return tooLong();
    QStringDecoder decoder(QStringDecoder::Utf8);
    TextSource source{QString(decoder(bytes)).trimmed(), QString()};
    const bool badBytes = decoder.hasError();
    source = checked(source, whenEmpty);
    source.badBytes = badBytes && source.error.isEmpty();
    return source;
}

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
    return checked({text, QString()}, QString::fromLatin1(kNothingSelected));
}
