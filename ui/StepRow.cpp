#include "ui/StepRow.h"

#include "ui/AccessibleFactory.h"
#include "ui/Palette.h"
#include "ui/Typography.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ZunoInstaller {

namespace {
constexpr qreal rowPadding = 5;
constexpr qreal badgeSize = 23;
constexpr qreal gap = 12;
constexpr qreal textTop = 2;
constexpr qreal lineSpacing = 3;
constexpr int textFontSize = 14;
constexpr int badgeFontSize = 11;
} // namespace

StepRow::StepRow(QWidget* parent)
    : QWidget(parent)
{
    installAccessibleFactory();
    setFont(systemFont(textFontSize));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void StepRow::setStep(const QString& text, const QString& badge)
{
    setAccessibleName(badge + u' ' + text);
    if (text == m_text && badge == m_badge)
        return;
    m_text = text;
    m_badge = badge;
    measureAgain();
}

void StepRow::measureAgain()
{
    m_wrapped = WrappedText(m_text, font(), lineSpacing);
    updateGeometry();
    update();
}

void StepRow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        measureAgain();
    QWidget::changeEvent(event);
}

QPointF StepRow::textOrigin()
{
    return {badgeSize + gap, rowPadding + textTop};
}

QFont StepRow::badgeFont() const
{
    return systemFont(badgeFontSize);
}

int StepRow::heightForWidth(int width) const
{
    const qreal text = m_wrapped.height(std::max<qreal>(width - textOrigin().x(), 1));
    return int(std::ceil(2 * rowPadding + std::max(badgeSize, textTop + text)));
}

QSize StepRow::sizeHint() const
{
    const int width = int(std::ceil(textOrigin().x() + m_wrapped.naturalWidth()));
    return {width, heightForWidth(width)};
}

QSize StepRow::minimumSizeHint() const
{
    return {int(textOrigin().x()), heightForWidth(1000000)}; // one line; heightForWidth() gives the rest
}

void StepRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The circle's 1-wide stroke is centred on the 23-wide frame's outline.
    const QRectF badge(0, rowPadding, badgeSize, badgeSize);
    QPen ring(Palette::withOpacity(Palette::accent(), 0.25));
    ring.setWidthF(1);
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(badge);

    painter.setPen(Palette::accent());
    painter.setFont(badgeFont());
    painter.drawText(badge, Qt::AlignCenter, m_badge);

    painter.setPen(palette().color(QPalette::WindowText));
    const QPointF origin = textOrigin();
    m_wrapped.draw(painter, origin, width() - origin.x());
}

} // namespace ZunoInstaller
