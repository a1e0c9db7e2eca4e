#include "platform/types.h"

#include "platform/internal.h"

#include <QString>

QString fourCharCodeQString(FourCharCode code)
{
    const char chars[4] = {FOUR_CHAR_ARGS(code)};
    return QString::fromLatin1(chars, 4);
}

bool fourCharCodeFromString(const QString& text, FourCharCode* outCode)
{
    if (text.size() != 4)
        return false;
    FourCharCode code = 0;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
        code = (code << 8) | c.unicode();
    }
    *outCode = code;
    return true;
}
