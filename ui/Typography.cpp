#include "ui/Typography.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace ZunoInstaller {

QFont systemFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

qreal lineHeight(const QFont& font)
{
    return QFontMetricsF(font).lineSpacing();
}

} // namespace ZunoInstaller
