#pragma once

#include <QFocusFrame>
#include <QHash>
#include <QPointer>

namespace ZunoInstaller {

// The sign of keyboard focus: a ring in accent around the control that the
// keyboard moved the focus to, a little clear of it. It is a child of the host
// (the view) above everything in it, so it may reach past the bounds of the
// control and of the row that holds it; as a focus frame it stays out of the
// accessibility tree. A control focused by a click or by the program shows no
// ring, and none shows while the window is inactive.
class FocusRing : public QFocusFrame {
    Q_OBJECT
public:
    static constexpr int gap = 2;   // between the control and the ring
    static constexpr int width = 2; // of the ring itself

    explicit FocusRing(QWidget* host);

    // Rings control whenever the keyboard gives it the focus; radius is that
    // of the control's own corners.
    void follow(QWidget* control, qreal radius);

    // The control ringed now, if any.
    QWidget* target() const { return isVisible() ? m_target.data() : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void focusIn(QWidget* control, Qt::FocusReason reason);
    void focusOut(QWidget* control, Qt::FocusReason reason);
    void place();

    QWidget* m_host;
    QPointer<QWidget> m_target;
    QHash<const QObject*, qreal> m_radii;
};

} // namespace ZunoInstaller
