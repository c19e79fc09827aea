#include "resources/icon/WindowIcon.h"

#include <QDir>

namespace ZunoInstaller {

QIcon windowIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/zuno-icon"));
    for (const QString& name : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(name));
    return icon;
}

} // namespace ZunoInstaller
