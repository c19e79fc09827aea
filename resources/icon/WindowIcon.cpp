#include "resources/icon/WindowIcon.h"

#include <QDir>
#include <QImageReader>
#include <QPixmap>

namespace ZunoInstaller {

QIcon windowIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/zuno-icon"));
    for (const QString& name : sizes.entryList(QDir::Files)) {
        // Named as PNG, without detection: detection loads every image format
        // plugin first, which costs start-up ten times what the four PNGs do.
        QImageReader reader(sizes.filePath(name), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace ZunoInstaller
