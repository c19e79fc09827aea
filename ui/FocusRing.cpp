#include "ui/FocusRing.h"

#include "ui/Palette.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace ZunoInstaller {

FocusRing::FocusRing(QWidget* host)
    : QFocusFrame(host)
    , m_host(host)
{
    hide();
}

void FocusRing::follow(QWidget* control, qreal radius)
{
    m_radii.insert(control, radius);
    // The control moves with every row and column that holds it.
    for (QWidget* widget = control; widget != nullptr && widget != m_host; widget = widget->parentWidget())
        widget->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    const bool followed = m_radii.contains(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        if (followed)
            focusIn(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
        break;
    case QEvent::FocusOut:
        if (followed)
            focusOut(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
        break;
    case QEvent::Hide:
        if (watched == m_target)
            hide(); // the focus moves on, and the ring with it
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (m_target && isVisible())
            place();
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::focusIn(QWidget* control, Qt::FocusReason reason)
{
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
        m_target = control;
    else if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        m_target = nullptr; // a click or the program: no ring
    if (m_target != control) {
        hide();
        return;
    }
    place();
    raise();
    show();
}

void FocusRing::focusOut(QWidget* control, Qt::FocusReason reason)
{
    // The window going inactive takes the ring away until it is active again.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_target == control)
        m_target = nullptr;
    hide();
}

void FocusRing::place()
{
    const int reach = gap + width;
    // Around what the control shows, not its margins (the details' indent).
    const QRect shown = m_target->contentsRect();
    setGeometry(QRect(m_target->mapTo(m_host, shown.topLeft()), shown.size()).adjusted(-reach, -reach, reach, reach));
    update();
}

void FocusRing::paintEvent(QPaintEvent*)
{
    if (!m_target)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Palette::accent());
    pen.setWidthF(width);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // The stroke is centred on the path, so the path runs half a width in.
    const qreal radius = m_radii.value(m_target) + gap + width / 2.0;
    const qreal half = width / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), radius, radius);
}

} // namespace ZunoInstaller
