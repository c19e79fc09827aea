#pragma once

#include <QAbstractButton>

namespace ZunoInstaller {

// A disclosure control: a small triangle that points right when closed and
// down when open, then the label. Checkable; checked means open.
class DisclosureButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit DisclosureButton(QWidget* parent = nullptr);

    // Where the label starts; the disclosed content lines up with it.
    static int labelOffset();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ZunoInstaller
