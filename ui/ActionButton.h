#pragma once

#include <QAbstractButton>

namespace ZunoInstaller {

// A plain footer button: no bezel, a rounded fill and a semibold title. The
// primary look is a light fill with dark text, the secondary the reverse.
class ActionButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ActionButton(bool primary, QWidget* parent = nullptr);

    bool isPrimary() const { return m_primary; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_primary;
    bool m_keyboardFocus = false;
};

} // namespace ZunoInstaller
