#pragma once

#include <QAbstractButton>

#include <optional>
#include <utility>

namespace ZunoInstaller {

// A plain footer button: no bezel, a rounded fill and a semibold title. The
// primary look is a light fill with dark text, the secondary the reverse.
// Keyboard focus shows as the view's focus ring around it.
class ActionButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 7;

    explicit ActionButton(bool primary, QWidget* parent = nullptr);

    bool isPrimary() const { return m_primary; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The size hint and the title it was measured for: layouts ask often.
    mutable std::optional<std::pair<QString, QSize>> m_hint;
    bool m_primary;
};

} // namespace ZunoInstaller
