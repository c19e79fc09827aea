#pragma once

#include "ui/WrappedText.h"

#include <QWidget>

#include <optional>

class QPainter;

namespace ZunoInstaller {

// The one-sentence message box: a leading glyph ("✓" plain, "ⓘ" warning) and
// the wrapping message, on a rounded fill with a thin border. The glyph is
// painted, not a child, so assistive technology reads only the message.
class NoticeBox : public QWidget {
    Q_OBJECT
public:
    explicit NoticeBox(QWidget* parent = nullptr);

    // Sets the message and look, and shows the box.
    void setNotice(const QString& message, bool warning);

    QString message() const { return m_message; }
    bool warning() const { return m_warning; }
    QString glyph() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool glyphInFont() const;
    qreal glyphWidth() const;
    qreal drawnGlyphSize() const;
    void drawGlyph(QPainter& painter, const QRectF& line) const;
    qreal messageWidth(qreal width) const;

    void measureAgain();

    QString m_message;
    bool m_warning = false;
    // Measured when first asked, again after a change of message, look or font.
    WrappedText m_text;
    mutable std::optional<bool> m_glyphInFont;
    mutable std::optional<qreal> m_glyphWidth;
};

} // namespace ZunoInstaller
