#include "ui/WrappedText.h"

#include "ui/Typography.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ZunoInstaller {

WrappedText::WrappedText(QString text, QFont font, qreal lineSpacing)
    : m_text(std::move(text))
    , m_font(std::move(font))
    , m_lineSpacing(lineSpacing)
{
}

template <typename Visit> void WrappedText::layout(qreal width, Visit&& visit) const
{
    QTextLayout textLayout(m_text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    textLayout.setTextOption(option);
    textLayout.setCacheEnabled(true);

    const qreal step = lineHeight(m_font) + m_lineSpacing;
    qreal y = 0;
    textLayout.beginLayout();
    for (QTextLine line = textLayout.createLine(); line.isValid(); line = textLayout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, y));
        y += step;
    }
    textLayout.endLayout();
    visit(textLayout);
}

int WrappedText::lineCount(qreal width) const
{
    if (m_text.isEmpty())
        return 0;
    int count = 0;
    layout(width, [&](const QTextLayout& textLayout) { count = textLayout.lineCount(); });
    return count;
}

qreal WrappedText::height(qreal width) const
{
    const int lines = lineCount(width);
    if (lines == 0)
        return 0;
    return lines * lineHeight(m_font) + (lines - 1) * m_lineSpacing;
}

qreal WrappedText::naturalWidth() const
{
    qreal widest = 0;
    layout(1e6, [&](const QTextLayout& textLayout) {
        for (int i = 0; i < textLayout.lineCount(); ++i)
            widest = std::max(widest, textLayout.lineAt(i).naturalTextWidth());
    });
    return widest;
}

QMargins WrappedText::inkMargins() const
{
    if (m_text.isEmpty())
        return {};
    // Every line laid on the same box, so that each glyph is measured against it.
    QTextLayout textLayout(m_text, m_font);
    textLayout.beginLayout();
    for (QTextLine line = textLayout.createLine(); line.isValid(); line = textLayout.createLine())
        line.setLineWidth(1e6);
    textLayout.endLayout();

    const qreal boxHeight = lineHeight(m_font);
    const qreal spacing = m_font.letterSpacingType() == QFont::AbsoluteSpacing ? m_font.letterSpacing() : 0;
    qreal left = 0;
    qreal top = 0;
    qreal right = 0;
    qreal bottom = 0;
    for (const QGlyphRun& run : textLayout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size() && i < advances.size(); ++i) {
            const QRectF ink = font.boundingRect(glyphs[i]); // from the glyph's origin on the baseline
            if (ink.isEmpty())
                continue;
            top = std::max(top, -(positions[i].y() + ink.top()));
            bottom = std::max(bottom, positions[i].y() + ink.bottom() - boxHeight);
            left = std::max(left, -ink.left());
            right = std::max(right, ink.right() - (advances[i].x() + spacing));
        }
    }
    const auto pixels = [](qreal overflow) { return int(std::ceil(overflow)); };
    return {pixels(left), pixels(top), pixels(right), pixels(bottom)};
}

void WrappedText::draw(QPainter& painter, QPointF topLeft, qreal width) const
{
    if (m_text.isEmpty())
        return;
    layout(width, [&](const QTextLayout& textLayout) { textLayout.draw(&painter, topLeft); });
}

} // namespace ZunoInstaller
