// dictionary::pinyinize on any text: the result fits the documented room, is
// lowercase, has no tone digits and no "u:" left, is well-formed UTF-16, is
// the same through either entry point, and converting it again changes
// nothing (it has no tone digits left to apply).

#include "fuzz/fuzzsupport.h"
#include "store/dictionary.h"
#include "store/textutil.h"

#include <QString>

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The text as a C string: it ends at the first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    const QString result = dict.pinyinize(text.c_str());
    FUZZ_CHECK(result == tavi_text::pinyinize(text.data(), text.size()));
    FUZZ_CHECK(result.isNull() == tavi_text::pinyinize(text.data(), text.size()).isNull());
    if (text.empty() || (text[0] >= '0' && text[0] <= '9'))
        FUZZ_CHECK(result.isNull());
    if (result.isNull())
        return 0;

    FUZZ_CHECK(size_t(result.size()) <= tavi_text::pinyinCapacity(text.size()));
    FUZZ_CHECK(!result.isEmpty());
    for (qsizetype i = 0; i < result.size(); ++i) {
        const char16_t u = result[i].unicode();
        FUZZ_CHECK(!(u >= 'A' && u <= 'Z'));
        FUZZ_CHECK(!(u >= '0' && u <= '9'));
        FUZZ_CHECK(u != ':' && u != 0);
        if (QChar::isHighSurrogate(u))
            FUZZ_CHECK(i + 1 < result.size() && QChar::isLowSurrogate(result[i + 1].unicode()));
        if (QChar::isLowSurrogate(u))
            FUZZ_CHECK(i > 0 && QChar::isHighSurrogate(result[i - 1].unicode()));
    }
    const QByteArray again = result.toUtf8();
    FUZZ_CHECK(dict.pinyinize(again.constData()) == result);
    return 0;
}
