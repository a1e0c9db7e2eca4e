// convertCFSTRtoEscapedHTML on any UTF-16 text (lone surrogates included):
// the result holds only ASCII letters, digits and escapes of exactly "%" and
// two uppercase hex digits; letters and digits stand for themselves and
// every other byte is escaped; decoding it gives the text's UTF-8.

#include "fuzz/fuzzsupport.h"
#include "windows/feedback/feedbackwindow.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstring>
#include <memory>

namespace {

bool isAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lowercase digits are not allowed
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string units(size / 2, u'\0');
    if (!units.empty())
        memcpy(units.data(), data, units.size() * 2);
    // The units as they are: fromUtf16 would read a leading U+FFFE or U+FEFF
    // as a byte-order mark.
    const QString text(reinterpret_cast<const QChar*>(units.data()), qsizetype(units.size()));
    const std::unique_ptr<char[]> escaped(convertCFSTRtoEscapedHTML(text));
    FUZZ_CHECK(escaped != nullptr);

    const size_t length = strlen(escaped.get());
    QByteArray decoded;
    for (size_t i = 0; i < length;) {
        const char c = escaped[i];
        if (isAlnum(c)) {
            decoded.append(c);
            ++i;
            continue;
        }
        FUZZ_CHECK(c == '%' && i + 2 < length + 1);
        const int high = hexValue(escaped[i + 1]);
        const int low = i + 2 < length ? hexValue(escaped[i + 2]) : -1;
        FUZZ_CHECK(high >= 0 && low >= 0);
        const char byte = char(high * 16 + low);
        FUZZ_CHECK(!isAlnum(byte)); // letters and digits are never escaped
        decoded.append(byte);
        i += 3;
    }
    const QByteArray utf8 = text.toUtf8();
    FUZZ_CHECK(decoded == utf8);
    // Well-formed text comes back whole, a leading U+FEFF included.
    if (text.isValidUtf16()) {
        QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        FUZZ_CHECK(QString(toUtf16(decoded)) == text);
    }
    return 0;
}
