#include "ui/NoticeBox.h"

#include "ui/AccessibleFactory.h"
#include "ui/Palette.h"
#include "ui/Typography.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace ZunoInstaller {

namespace {
constexpr qreal horizontalPadding = 15;
constexpr qreal verticalPadding = 13;
constexpr qreal glyphGap = 10;
constexpr qreal radius = 8;
constexpr int fontSize = 13;
} // namespace

NoticeBox::NoticeBox(QWidget* parent)
    : QWidget(parent)
{
    installAccessibleFactory();
    setFont(systemFont(fontSize));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void NoticeBox::setNotice(const QString& message, bool warning)
{
    setAccessibleName(message);
    if (message != m_message || warning != m_warning) {
        m_message = message;
        m_warning = warning;
        measureAgain();
    }
    QWidget::show();
}

void NoticeBox::measureAgain()
{
    m_text = WrappedText(m_message, font());
    m_glyphInFont.reset();
    m_glyphWidth.reset();
    updateGeometry();
    update();
}

void NoticeBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        measureAgain();
    QWidget::changeEvent(event);
}

QString NoticeBox::glyph() const
{
    return m_warning ? QStringLiteral("\u24D8") : QStringLiteral("\u2713");
}

bool NoticeBox::glyphInFont() const
{
    if (!m_glyphInFont)
        m_glyphInFont = QFontMetricsF(font()).inFontUcs4(glyph().toUcs4().value(0));
    return *m_glyphInFont;
}

qreal NoticeBox::glyphWidth() const
{
    if (!m_glyphWidth)
        m_glyphWidth = glyphInFont() ? QFontMetricsF(font()).horizontalAdvance(glyph()) : drawnGlyphSize() + 1;
    return *m_glyphWidth;
}

qreal NoticeBox::drawnGlyphSize() const
{
    return std::round(QFontMetricsF(font()).ascent() * 0.9);
}

void NoticeBox::drawGlyph(QPainter& painter, const QRectF& line) const
{
    if (glyphInFont()) {
        WrappedText(glyph(), font()).draw(painter, line.topLeft(), line.width() + 1);
        return;
    }
    // Without the glyph in the font (it would show as a box), draw its shape:
    // a ring around a small "i", or a check mark.
    const qreal size = drawnGlyphSize();
    const QRectF box(line.left() + 0.5, line.center().y() - size / 2, size, size);
    QPen pen(painter.pen().color());
    pen.setWidthF(1);
    painter.setPen(pen);
    if (m_warning) {
        painter.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
        const qreal x = box.center().x();
        painter.setBrush(pen.color());
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(x, box.top() + size * 0.3), 0.9, 0.9);
        painter.drawRect(QRectF(x - 0.6, box.top() + size * 0.44, 1.2, size * 0.34));
        painter.setBrush(Qt::NoBrush);
    } else {
        pen.setWidthF(1.5);
        painter.setPen(pen);
        painter.drawPolyline(QPolygonF({box.topLeft() + QPointF(size * 0.1, size * 0.55),
                                        box.topLeft() + QPointF(size * 0.38, size * 0.82),
                                        box.topLeft() + QPointF(size * 0.9, size * 0.2)}));
    }
    painter.setPen(pen.color());
}

qreal NoticeBox::messageWidth(qreal width) const
{
    return std::max<qreal>(width - 2 * horizontalPadding - glyphWidth() - glyphGap, 1);
}

int NoticeBox::heightForWidth(int width) const
{
    const qreal message = m_text.height(messageWidth(width));
    return int(std::ceil(2 * verticalPadding + std::max(message, lineHeight(font()))));
}

QSize NoticeBox::sizeHint() const
{
    // The box takes the column's width; this is only a starting point.
    const int width = 400;
    return {width, heightForWidth(width)};
}

QSize NoticeBox::minimumSizeHint() const
{
    return {0, heightForWidth(1000000)}; // one line; heightForWidth() gives the rest
}

void NoticeBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF box = rect();
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.setClipPath(shape);
    painter.fillPath(shape, m_warning ? Palette::warningNoticeFill() : Palette::plainNoticeFill());

    // A 1-wide stroke centred on the outline, clipped to the box: only its
    // inner half shows. At one device pixel per point that half pixel would
    // blur into the fill, so the visible part is kept one device pixel wide.
    const qreal pixel = 1.0 / devicePixelRatioF();
    QPen border(m_warning ? Palette::warningNoticeBorder() : Palette::plainNoticeBorder());
    border.setWidthF(std::max(1.0, 2 * pixel));
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);

    const QColor ink = m_warning ? Palette::warningNoticeText() : Palette::plainNoticeText();
    painter.setPen(ink);
    const qreal lineH = lineHeight(font());
    const qreal textWidth = messageWidth(box.width());
    const qreal messageHeight = std::max(m_text.height(textWidth), lineH);
    const qreal top = verticalPadding;

    // The glyph is centred on the whole message, however many lines it takes.
    const QRectF glyphLine(horizontalPadding, top + (messageHeight - lineH) / 2, glyphWidth(), lineH);
    drawGlyph(painter, glyphLine);

    m_text.draw(painter, QPointF(horizontalPadding + glyphWidth() + glyphGap, top), textWidth);
}

} // namespace ZunoInstaller
