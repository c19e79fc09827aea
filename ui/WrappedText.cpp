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

namespace {
qint64 shaped = 0;
} // namespace

WrappedText::WrappedText(QString text, QFont font, qreal lineSpacing)
    : m_text(std::move(text))
    , m_font(std::move(font))
    , m_lineSpacing(lineSpacing)
{
}

WrappedText::~WrappedText() = default;
WrappedText::WrappedText(WrappedText&&) noexcept = default;
WrappedText& WrappedText::operator=(WrappedText&&) noexcept = default;

const QTextLayout& WrappedText::layout(qreal width) const
{
    width = std::max<qreal>(width, 1);
    if (!m_layout) {
        m_layout = std::make_unique<QTextLayout>(m_text, m_font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_layout->setTextOption(option);
        m_layout->setCacheEnabled(true); // keeps the shaped text across layouts
        shaped += m_text.size();
    }
    if (m_layoutWidth == width)
        return *m_layout;
    const qreal step = lineHeight(m_font) + m_lineSpacing;
    qreal y = 0;
    m_layout->beginLayout();
    for (QTextLine line = m_layout->createLine(); line.isValid(); line = m_layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += step;
    }
    m_layout->endLayout();
    m_layoutWidth = width;
    return *m_layout;
}

qint64 WrappedText::shapedCharacters()
{
    return shaped;
}

int WrappedText::lineCount(qreal width) const
{
    if (m_text.isEmpty())
        return 0;
    for (const auto& [known, count] : m_lineCounts) {
        if (known == width)
            return count;
    }
    const int count = layout(width).lineCount();
    // A layout asks about a handful of widths; keep the last few.
    if (m_lineCounts.size() == 8)
        m_lineCounts.erase(m_lineCounts.begin());
    m_lineCounts.emplace_back(width, count);
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
    if (!m_naturalWidth) {
        qreal widest = 0;
        const QTextLayout& textLayout = layout(1e6);
        for (int i = 0; i < textLayout.lineCount(); ++i)
            widest = std::max(widest, textLayout.lineAt(i).naturalTextWidth());
        m_naturalWidth = widest;
    }
    return *m_naturalWidth;
}

QMargins WrappedText::inkMargins() const
{
    if (m_text.isEmpty())
        return {};
    if (m_ink)
        return *m_ink;
    // Each glyph is measured against the box of the line that holds it.
    const QTextLayout& textLayout = layout(1e6);
    const qreal boxHeight = lineHeight(m_font);
    const qreal spacing = m_font.letterSpacingType() == QFont::AbsoluteSpacing ? m_font.letterSpacing() : 0;
    qreal left = 0;
    qreal top = 0;
    qreal right = 0;
    qreal bottom = 0;
    for (int line = 0; line < textLayout.lineCount(); ++line) {
        const qreal lineTop = textLayout.lineAt(line).y();
        for (const QGlyphRun& run : textLayout.lineAt(line).glyphRuns()) {
            const QRawFont font = run.rawFont();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
            for (qsizetype i = 0; i < glyphs.size() && i < positions.size() && i < advances.size(); ++i) {
                const QRectF ink = font.boundingRect(glyphs[i]); // from the glyph's origin on the baseline
                if (ink.isEmpty())
                    continue;
                const qreal baseline = positions[i].y() - lineTop;
                top = std::max(top, -(baseline + ink.top()));
                bottom = std::max(bottom, baseline + ink.bottom() - boxHeight);
                left = std::max(left, -ink.left());
                right = std::max(right, ink.right() - (advances[i].x() + spacing));
            }
        }
    }
    const auto pixels = [](qreal overflow) { return int(std::ceil(overflow)); };
    m_ink = QMargins(pixels(left), pixels(top), pixels(right), pixels(bottom));
    return *m_ink;
}

void WrappedText::draw(QPainter& painter, QPointF topLeft, qreal width) const
{
    if (m_text.isEmpty())
        return;
    layout(width).draw(&painter, topLeft);
}

} // namespace ZunoInstaller
