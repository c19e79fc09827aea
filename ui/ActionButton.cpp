#include "ui/ActionButton.h"

#include "ui/Palette.h"
#include "ui/Typography.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ZunoInstaller {

namespace {
constexpr qreal horizontalPadding = 18;
constexpr qreal verticalPadding = 11;
constexpr int fontSize = 13;
} // namespace

ActionButton::ActionButton(bool primary, QWidget* parent)
    : QAbstractButton(parent)
    , m_primary(primary)
{
    setFont(systemFont(fontSize, QFont::DemiBold));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ActionButton::sizeHint() const
{
    if (!m_hint || m_hint->first != text()) {
        const QFontMetricsF metrics(font());
        m_hint.emplace(text(), QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 2 * horizontalPadding)),
                                     int(std::ceil(lineHeight(font()) + 2 * verticalPadding))));
    }
    return m_hint->second;
}

void ActionButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_hint.reset();
    QAbstractButton::changeEvent(event);
}

void ActionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    QColor fill = m_primary ? Palette::primaryButtonFill() : Palette::secondaryButtonFill();
    if (isDown())
        fill = fill.darker(115);
    painter.fillPath(shape, fill);

    painter.setPen(m_primary ? Palette::primaryButtonText() : Palette::secondaryButtonText());
    painter.drawText(QRectF(rect()).adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding),
                     Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace ZunoInstaller
