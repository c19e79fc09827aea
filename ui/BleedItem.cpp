#include "ui/BleedItem.h"

#include <QWidget>

#include <algorithm>
#include <utility>

namespace ZunoInstaller {

BleedItem::BleedItem(QWidget* widget, std::function<QMargins()> margins, Qt::Alignment alignment)
    : QWidgetItem(widget)
    , m_margins(std::move(margins))
{
    setAlignment(alignment);
}

QSize BleedItem::box(QSize widgetSize) const
{
    return widgetSize.shrunkBy(m_margins()).expandedTo(QSize(0, 0));
}

QSize BleedItem::sizeHint() const
{
    return box(QWidgetItem::sizeHint());
}

QSize BleedItem::minimumSize() const
{
    return box(QWidgetItem::minimumSize());
}

QSize BleedItem::maximumSize() const
{
    return box(QWidgetItem::maximumSize());
}

int BleedItem::heightForWidth(int width) const
{
    if (!hasHeightForWidth())
        return -1;
    const QMargins margins = m_margins();
    const int height = QWidgetItem::heightForWidth(width + margins.left() + margins.right());
    return std::max(height - margins.top() - margins.bottom(), 0);
}

void BleedItem::setGeometry(const QRect& rect)
{
    if (isEmpty())
        return;
    // The box's place in rect, as a plain widget item would place the widget.
    QSize size = rect.size().boundedTo(maximumSize());
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignHorizontal_Mask)
        size.setWidth(std::min(size.width(), sizeHint().width()));
    if (align & Qt::AlignVertical_Mask)
        size.setHeight(std::min(size.height(), hasHeightForWidth() ? heightForWidth(size.width()) : sizeHint().height()));
    QPoint at = rect.topLeft();
    if (align & Qt::AlignRight)
        at.rx() += rect.width() - size.width();
    else if (align & Qt::AlignHCenter)
        at.rx() += (rect.width() - size.width()) / 2;
    if (align & Qt::AlignBottom)
        at.ry() += rect.height() - size.height();
    else if (align & Qt::AlignVCenter)
        at.ry() += (rect.height() - size.height()) / 2;
    widget()->setGeometry(QRect(at, size).marginsAdded(m_margins()));
}

QRect BleedItem::geometry() const
{
    return QWidgetItem::geometry().marginsRemoved(m_margins());
}

} // namespace ZunoInstaller
