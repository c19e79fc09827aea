#include "ui/TextBlock.h"

#include "ui/AccessibleFactory.h"
#include "ui/BleedItem.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ZunoInstaller {

TextBlock::TextBlock(QWidget* parent)
    : QWidget(parent)
{
    installAccessibleFactory();
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void TextBlock::setText(const QString& text)
{
    setAccessibleName(text);
    if (text == m_text)
        return;
    m_text = text;
    textChanged();
}

void TextBlock::setColor(std::optional<QColor> color)
{
    m_color = color;
    update();
}

void TextBlock::setLineSpacing(qreal spacing)
{
    m_lineSpacing = spacing;
    textChanged();
}

void TextBlock::textChanged()
{
    m_wrapped = WrappedText(m_text, font(), m_lineSpacing);
    updateGeometry();
    update();
}

QLayoutItem* TextBlock::layoutItem(Qt::Alignment alignment)
{
    return new BleedItem(this, [this] { return inkMargins(); }, alignment);
}

int TextBlock::boxHeight(qreal boxWidth) const
{
    return int(std::ceil(m_wrapped.height(std::max<qreal>(boxWidth, 1))));
}

int TextBlock::heightForWidth(int width) const
{
    const QMargins ink = inkMargins();
    return boxHeight(width - ink.left() - ink.right()) + ink.top() + ink.bottom();
}

int TextBlock::lineCount(int width) const
{
    const QMargins ink = inkMargins();
    return m_wrapped.lineCount(std::max(width - ink.left() - ink.right(), 1));
}

QSize TextBlock::sizeHint() const
{
    const int box = int(std::ceil(m_wrapped.naturalWidth()));
    return QSize(box, boxHeight(box)).grownBy(inkMargins());
}

QSize TextBlock::minimumSizeHint() const
{
    // Any width will do: the text wraps, even inside a word if it must. The
    // height that a width needs comes from heightForWidth().
    return QSize(0, boxHeight(1e6)).grownBy(inkMargins());
}

void TextBlock::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(QPalette::WindowText)));
    const QRect box = textBox();
    m_wrapped.draw(painter, box.topLeft(), box.width());
}

void TextBlock::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        textChanged();
    QWidget::changeEvent(event);
}

} // namespace ZunoInstaller
