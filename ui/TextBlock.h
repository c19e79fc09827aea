#pragma once

#include <QAccessible>
#include <QColor>
#include <QWidget>

#include <optional>

namespace ZunoInstaller {

// A text that wraps at the width it is given and is never cut short: its
// height follows its lines. Lines are stacked at the font's line height with
// an optional extra gap between them, which QLabel cannot do exactly.
class TextBlock : public QWidget {
    Q_OBJECT
public:
    explicit TextBlock(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // none: the inherited foreground (the window's default text colour).
    void setColor(std::optional<QColor> color);
    void setLineSpacing(qreal spacing);

    // How assistive technology reads the text (static text, or a heading).
    QAccessible::Role accessibleRole() const { return m_role; }
    void setAccessibleRole(QAccessible::Role role) { m_role = role; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Number of lines the text takes at width.
    int lineCount(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    qreal naturalWidth() const;

    QString m_text;
    std::optional<QColor> m_color;
    qreal m_lineSpacing = 0;
    QAccessible::Role m_role = QAccessible::StaticText;
};

} // namespace ZunoInstaller
