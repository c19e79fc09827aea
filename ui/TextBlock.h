#pragma once

#include "ui/WrappedText.h"

#include <QAccessible>
#include <QColor>
#include <QMargins>
#include <QWidget>

#include <optional>

class QLayoutItem;

namespace ZunoInstaller {

// A text that wraps at the width it is given and is never cut short: its
// box's height follows its lines. Lines are stacked at the font's line height
// with an optional extra gap between them, which QLabel cannot do exactly.
// The widget is larger than the box by the text's ink margins, so that marks
// above capitals, descenders and overhanging glyphs are never clipped; laid
// out through layoutItem(), it is placed by its box and its ink reaches into
// the space around it.
class TextBlock : public QWidget {
    Q_OBJECT
public:
    explicit TextBlock(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // none: the inherited foreground (the window's default text colour).
    void setColor(std::optional<QColor> color);
    void setLineSpacing(qreal spacing);
    qreal lineSpacing() const { return m_lineSpacing; }

    // How assistive technology reads the text (static text, or a heading).
    QAccessible::Role accessibleRole() const { return m_role; }
    void setAccessibleRole(QAccessible::Role role) { m_role = role; }

    // How far the widget reaches past the box on each side.
    QMargins inkMargins() const { return m_wrapped.inkMargins(); }
    // The box inside the widget.
    QRect textBox() const { return rect().marginsRemoved(inkMargins()); }
    // Places this block by its box; the layout that it is added to owns the item.
    QLayoutItem* layoutItem(Qt::Alignment alignment = {});

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Number of lines the text takes at a widget width.
    int lineCount(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void textChanged();
    int boxHeight(qreal boxWidth) const;

    QString m_text;
    std::optional<QColor> m_color;
    qreal m_lineSpacing = 0;
    WrappedText m_wrapped; // measured when first asked, not when set
    QAccessible::Role m_role = QAccessible::StaticText;
};

} // namespace ZunoInstaller
