#pragma once

#include <QLayoutItem>
#include <QMargins>

#include <functional>

namespace ZunoInstaller {

// Lays a widget out by its box, the rectangle that the spacing and the
// alignment around it are measured from, while the widget itself reaches past
// the box by margins(): room for what it paints outside the box, such as the
// marks above capitals or a descender, which its own bounds would clip. The
// widget's size hints include the margins; this item's exclude them.
class BleedItem : public QWidgetItem {
public:
    BleedItem(QWidget* widget, std::function<QMargins()> margins, Qt::Alignment alignment = {});

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    QRect geometry() const override;

private:
    QSize box(QSize widgetSize) const;

    std::function<QMargins()> m_margins;
};

} // namespace ZunoInstaller
