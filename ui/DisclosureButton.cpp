#include "ui/DisclosureButton.h"

#include "ui/AccessibleFactory.h"
#include "ui/Typography.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ZunoInstaller {

namespace {
constexpr qreal indicatorBox = 12;
constexpr qreal indicatorGap = 4;
} // namespace

DisclosureButton::DisclosureButton(QWidget* parent)
    : QAbstractButton(parent)
{
    installAccessibleFactory();
    setCheckable(true);
    setFont(systemFont(12));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int DisclosureButton::labelOffset()
{
    return int(indicatorBox + indicatorGap);
}

QSize DisclosureButton::sizeHint() const
{
    return {int(std::ceil(labelOffset() + QFontMetricsF(font()).horizontalAdvance(text()))),
            int(std::ceil(std::max(lineHeight(font()), indicatorBox)))};
}

void DisclosureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);

    // A filled triangle, 7 across, centred in its box.
    const QPointF centre(indicatorBox / 2, height() / 2.0);
    QPainterPath triangle;
    if (isChecked()) {
        triangle.moveTo(centre + QPointF(-3.5, -2));
        triangle.lineTo(centre + QPointF(3.5, -2));
        triangle.lineTo(centre + QPointF(0, 2.5));
    } else {
        triangle.moveTo(centre + QPointF(-2, -3.5));
        triangle.lineTo(centre + QPointF(2.5, 0));
        triangle.lineTo(centre + QPointF(-2, 3.5));
    }
    triangle.closeSubpath();
    painter.fillPath(triangle, ink);

    painter.setPen(ink);
    painter.drawText(QRectF(labelOffset(), 0, width() - labelOffset(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

} // namespace ZunoInstaller
