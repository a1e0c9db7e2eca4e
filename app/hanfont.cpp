#include "app/hanfont.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

const QStringList& hanFaces()
{
    static const QStringList faces{QStringLiteral("Noto Sans CJK TC"),
                                   QStringLiteral("Noto Sans CJK SC")};
    return faces;
}

} // namespace

QFont hanCharacterFont(int pixelSize)
{
    QFont font;
    font.setFamilies(hanFaces() + QStringList{QStringLiteral("Noto Serif CJK TC"),
                                              QStringLiteral("BabelStone Han")});
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

void useHanFacesForText()
{
    QFont font = QGuiApplication::font();
    // The face the font resolves to, rather than a name such as "Sans Serif"
    // that names none: the first family that exists is the one used.
    QStringList families{QFontInfo(font).family()};
    for (const QString& face : hanFaces()) {
        if (!families.contains(face))
            families << face;
    }
    font.setFamilies(families);
    QGuiApplication::setFont(font);
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
