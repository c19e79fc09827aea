#pragma once

#include <QColor>

namespace ZunoInstaller {

// The window's colours. The three named constants are shared by every piece of
// the window; the rest belong to one piece each but live here so that the look
// is defined in one place.
struct Palette {
    static QColor surface() { return QColor(0x20, 0x24, 0x1E); }
    static QColor secondaryText() { return QColor(0xB6, 0xBF, 0xAD); }
    static QColor accent() { return QColor(0xC4, 0xDB, 0xA0); }

    // Not a named constant: the body's foreground for text that sets no colour.
    static QColor defaultText() { return QColor(0xEF, 0xF1, 0xEB); }

    static QColor withOpacity(QColor color, qreal opacity)
    {
        color.setAlphaF(float(opacity));
        return color;
    }

    // Notice looks.
    static QColor plainNoticeText() { return accent(); }
    static QColor plainNoticeFill() { return QColor::fromRgbF(0.16f, 0.18f, 0.14f); }
    static QColor plainNoticeBorder() { return withOpacity(accent(), 0.25); }
    static QColor warningNoticeText() { return QColor::fromRgbF(0.89f, 0.83f, 0.65f); }
    static QColor warningNoticeFill() { return QColor::fromRgbF(0.2f, 0.18f, 0.13f); }
    static QColor warningNoticeBorder() { return QColor::fromRgbF(0.35f, 0.29f, 0.19f); }

    // Footer.
    static QColor caption() { return QColor::fromRgbF(0.57f, 0.62f, 0.54f); }
    static QColor primaryButtonText() { return QColor::fromRgbF(0.12f, 0.15f, 0.1f); }
    static QColor primaryButtonFill() { return QColor::fromRgbF(0.86f, 0.91f, 0.81f); }
    static QColor secondaryButtonText() { return QColor::fromRgbF(0.86f, 0.91f, 0.81f); }
    static QColor secondaryButtonFill() { return QColor::fromRgbF(0.2f, 0.23f, 0.17f); }
};

} // namespace ZunoInstaller
