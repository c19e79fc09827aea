#pragma once

#include <QFont>

namespace ZunoInstaller {

// The platform's system font at an exact pixel size: the window's sizes are
// logical pixels, and a point size would come out 4/3 larger at 96 dpi.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// Height of one line of text in font, the way the wrapping texts stack lines.
qreal lineHeight(const QFont& font);

} // namespace ZunoInstaller
