#include "ui/TextBlock.h"

#include "ui/AccessibleFactory.h"
#include "ui/BleedItem.h"
#include "ui/WrappedText.h"

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
    m_ink = WrappedText(m_text, font(), m_lineSpacing).inkMargins();
    updateGeometry();
    update();
}

QLayoutItem* TextBlock::layoutItem(Qt::Alignment alignment)
{
    return new BleedItem(this, [this] { return m_ink; }, alignment);
}

int TextBlock::boxHeight(qreal boxWidth) const
{
    return int(std::ceil(WrappedText(m_text, font(), m_lineSpacing).height(std::max<qreal>(boxWidth, 1))));
}

int TextBlock::heightForWidth(int width) const
{
    return boxHeight(width - m_ink.left() - m_ink.right()) + m_ink.top() + m_ink.bottom();
}

int TextBlock::lineCount(int width) const
{
    return WrappedText(m_text, font(), m_lineSpacing).lineCount(std::max(width - m_ink.left() - m_ink.right(), 1));
}

QSize TextBlock::sizeHint() const
{
    const int box = int(std::ceil(WrappedText(m_text, font(), m_lineSpacing).naturalWidth()));
    return QSize(box, boxHeight(box)).grownBy(m_ink);
}

QSize TextBlock::minimumSizeHint() const
{
    // Any width will do: the text wraps, even inside a word if it must. The
    // height that a width needs comes from heightForWidth().
    return QSize(0, boxHeight(1e6)).grownBy(m_ink);
}

void TextBlock::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(QPalette::WindowText)));
    const QRect box = textBox();
    WrappedText(m_text, font(), m_lineSpacing).draw(painter, box.topLeft(), box.width());
}

void TextBlock::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        textChanged();
    QWidget::changeEvent(event);
}

} // namespace ZunoInstaller
