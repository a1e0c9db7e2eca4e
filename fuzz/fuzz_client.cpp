// What tavi-service makes of its input: standard input of any bytes, and
// text arguments of any bytes (the input split at NUL bytes, the first
// piece choosing which of the two it is). The text it would send is never
// longer than the services take; an error comes with no text and a text
// with no error; the arguments are sent joined by blanks, as they are, and
// standard input as its UTF-8 with blanks around it removed.

#include "fuzz/fuzzsupport.h"

#include "client/textsource.h"

#include <QCoreApplication>
#include <QStringDecoder>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // for the life of the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    TextSource source;
    QString expected;
    if (data[0] & 1) {
        QStringList words;
        for (const QByteArray& word : bytes.split('\0'))
            words << QString::fromLocal8Bit(word);
        source = textFromArguments(words);
        expected = words.join(QLatin1Char(' '));
    } else {
        source = textFromBytes(bytes);
        expected = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
        expected = expected.trimmed();
    }
    FUZZ_CHECK(source.error.isEmpty() != source.text.isEmpty());
    FUZZ_CHECK(source.text.size() <= kMaxTextUnits);
    if (source.error.isEmpty())
        FUZZ_CHECK(source.text == expected);
    else
        FUZZ_CHECK(expected.isEmpty() || expected.size() > kMaxTextUnits ||
                   bytes.size() > kMaxTextUnits * 3);
    return 0;
}
