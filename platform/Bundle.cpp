#include "platform/Bundle.h"

#include "platform/InfoPlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#include <vector>
#endif

namespace ZunoInstaller {

namespace {

// An Info.plist is a few kilobytes; anything this large is not one of ours.
constexpr qint64 maxInfoPlistSize = 4 * 1024 * 1024;

std::optional<QHash<QString, QString>> readInfoPlist(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxInfoPlistSize)
        return std::nullopt;
    const QByteArray data = file.read(maxInfoPlistSize + 1);
    if (data.size() > maxInfoPlistSize)
        return std::nullopt;
    return parseInfoStrings(data);
}

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
#if defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0)
        return QFileInfo(QFileInfo(QString::fromUtf8(buffer.data())).canonicalFilePath()).absolutePath();
#else
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!exe.isEmpty())
        return QFileInfo(exe).absolutePath();
#endif
    return QDir::currentPath();
}

} // namespace

Bundle::Bundle(const QString& bundlePath)
    : m_path(bundlePath)
    , m_info(std::make_shared<InfoCache>())
{
}

Bundle Bundle::main()
{
    // The executable lives in <bundle>/Contents/MacOS.
    return Bundle(QDir::cleanPath(executableDirectory() + QStringLiteral("/../..")));
}

std::optional<QString> Bundle::infoString(const QString& key) const
{
    std::call_once(m_info->once, [this] {
        m_info->strings = readInfoPlist(QDir(m_path).filePath(QStringLiteral("Contents/Info.plist")));
    });
    if (!m_info->strings)
        return std::nullopt;
    const auto it = m_info->strings->constFind(key);
    if (it == m_info->strings->constEnd())
        return std::nullopt;
    return *it;
}

QString Bundle::resourcePath() const
{
    return QDir(m_path).filePath(QStringLiteral("Contents/Resources"));
}

std::optional<QString> Bundle::pathForResource(const QString& name, const QString& type) const
{
    // A resource is a direct child of the resource directory, never a path.
    if (name.isEmpty() || name.contains(u'/') || type.contains(u'/'))
        return std::nullopt;
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    if (fileName == u"." || fileName == u"..")
        return std::nullopt;
    const QString path = QDir(resourcePath()).filePath(fileName);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

} // namespace ZunoInstaller
