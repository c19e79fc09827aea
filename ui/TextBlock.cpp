#include "ui/TextBlock.h"

#include "ui/AccessibleFactory.h"
#include "ui/WrappedText.h"

#include <QEvent>
#include <QPainter>

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
    updateGeometry();
    update();
}

void TextBlock::setColor(std::optional<QColor> color)
{
    m_color = color;
    update();
}

void TextBlock::setLineSpacing(qreal spacing)
{
    m_lineSpacing = spacing;
    updateGeometry();
    update();
}

int TextBlock::heightForWidth(int width) const
{
    return int(std::ceil(WrappedText(m_text, font(), m_lineSpacing).height(width)));
}

int TextBlock::lineCount(int width) const
{
    return WrappedText(m_text, font(), m_lineSpacing).lineCount(width);
}

qreal TextBlock::naturalWidth() const
{
    return WrappedText(m_text, font(), m_lineSpacing).naturalWidth();
}

QSize TextBlock::sizeHint() const
{
    const int width = int(std::ceil(naturalWidth()));
    return {width, heightForWidth(width)};
}

QSize TextBlock::minimumSizeHint() const
{
    // Any width will do: the text wraps, even inside a word if it must. The
    // height that a width needs comes from heightForWidth().
    return {0, int(std::ceil(WrappedText(m_text, font(), m_lineSpacing).height(1e6)))};
}

void TextBlock::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(QPalette::WindowText)));
    WrappedText(m_text, font(), m_lineSpacing).draw(painter, QPointF(0, 0), width());
}

void TextBlock::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

} // namespace ZunoInstaller
