#include "platform/DarkAppearance.h"

#include <QColor>

namespace ZunoInstaller {

#ifndef __APPLE__
void applyDarkAppearance(QWindow&) {}
#endif

bool hasAppKitWindows(QStringView platformName)
{
    // Qt matches platform names without regard to case (QT_QPA_PLATFORM=Cocoa).
    return platformName.compare(u"cocoa", Qt::CaseInsensitive) == 0;
}

QPalette darkPalette()
{
    // Close to the system's dark controls: light text on a dark surface, with a
    // muted green highlight so selections and the progress bar stay readable.
    const QColor surface(0x20, 0x24, 0x1E);
    const QColor raised(0x2C, 0x31, 0x29);
    const QColor text(0xEF, 0xF1, 0xEB);
    const QColor muted(0xA4, 0xAB, 0x9F);
    const QColor highlight(0x5E, 0x8C, 0x4F);

    QPalette palette(surface);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, surface);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, raised);
        palette.setColor(group, QPalette::AlternateBase, surface);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, raised);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, highlight);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, raised);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::PlaceholderText, muted);
        palette.setColor(group, QPalette::Link, QColor(0x9C, 0xC8, 0x8A));
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, muted);
    palette.setColor(QPalette::Disabled, QPalette::Text, muted);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, muted);
    return palette;
}

} // namespace ZunoInstaller
