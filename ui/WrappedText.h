#pragma once

#include <QFont>
#include <QMargins>
#include <QPointF>
#include <QString>

class QPainter;

namespace ZunoInstaller {

// One paragraph laid out at a width: wrapped at word boundaries (inside a word
// only when a word alone is wider), each line as high as the font's line
// height, lineSpacing extra between consecutive lines and none after the last.
class WrappedText {
public:
    WrappedText(QString text, QFont font, qreal lineSpacing = 0);

    int lineCount(qreal width) const;
    qreal height(qreal width) const;
    qreal naturalWidth() const; // the width of the widest line when nothing wraps
    // How far the ink may reach past the lines' box on each side at any width:
    // above the first line (marks over capitals), below the last (descenders),
    // and past either end of a line, whichever glyph starts or ends it.
    QMargins inkMargins() const;
    void draw(QPainter& painter, QPointF topLeft, qreal width) const;

private:
    template <typename Visit> void layout(qreal width, Visit&& visit) const;

    QString m_text;
    QFont m_font;
    qreal m_lineSpacing;
};

} // namespace ZunoInstaller
