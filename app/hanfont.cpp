#include "app/hanfont.h"

#include <QFontInfo>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cmath>

QFont hanCharacterFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Serif CJK TC"), QStringLiteral("BabelStone Han")});
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

int characterPixelSize(int textPixelSize, bool larger)
{
    const double factor = larger ? 2.0 : 1.5;
    return int(std::ceil(std::max(1, textPixelSize) * factor));
}

int applyListCharacterFont(ControlRef list, DataBrowserPropertyID column, bool larger)
{
    QWidget* widget = GetControlWidget(list);
    if (!widget)
        return 0;
    ControlFontStyleRec style{};
    if (larger) {
        style.flags = kControlUseSizeMask;
        style.size = 14;
    }
    SetControlFontStyle(list, &style);
    const QFont font =
        hanCharacterFont(characterPixelSize(QFontInfo(widget->font()).pixelSize(), larger));
    SetDataBrowserTableViewColumnFont(list, column, &font);
    return font.pixelSize();
}
