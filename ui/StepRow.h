#pragma once

#include "ui/WrappedText.h"

#include <QWidget>

namespace ZunoInstaller {

// A round badge ("1", "2", "3" or "✓") beside a wrapping text. Painted as one
// widget, so assistive technology reads the row as one element: badge and text.
class StepRow : public QWidget {
    Q_OBJECT
public:
    explicit StepRow(QWidget* parent = nullptr);

    void setStep(const QString& text, const QString& badge);
    QString text() const { return m_text; }
    QString badge() const { return m_badge; }

    // Where the text starts, left and top, inside the row.
    static QPointF textOrigin();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont badgeFont() const;

    void measureAgain();

    QString m_text;
    QString m_badge;
    WrappedText m_wrapped; // measured when first asked
};

} // namespace ZunoInstaller
