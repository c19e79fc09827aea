#include "platform/Bundle.h"

#include "platform/InfoPlist.h"
#include "platform/RegularFile.h"

#include <QFile>

#include <system_error>
#include <vector>

#if defined(__APPLE__)
#include <cstdlib>
#include <mach-o/dyld.h>
#else
#include <unistd.h>
#endif

namespace ZunoInstaller {

namespace {

// An Info.plist is a few kilobytes; anything this large is not one of ours.
constexpr qint64 maxInfoPlistSize = 4 * 1024 * 1024;

// The running executable, symbolic links resolved; empty when unknown.
std::filesystem::path executablePath()
{
#if defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return {};
    char* const resolved = ::realpath(buffer.data(), nullptr);
    if (resolved == nullptr)
        return {};
    std::filesystem::path path(resolved);
    std::free(resolved);
    return path;
#else
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length)));
        buffer.resize(buffer.size() * 2); // possibly cut short: try a larger buffer
    }
#endif
}

} // namespace

Bundle::Bundle(std::filesystem::path bundlePath)
    : m_path(std::move(bundlePath))
    , m_info(std::make_shared<InfoCache>())
{
}

Bundle::Bundle(const QString& bundlePath)
    : Bundle(std::filesystem::path(QFile::encodeName(bundlePath).toStdString()))
{
}

Bundle Bundle::main()
{
    // The executable lives in <bundle>/Contents/MacOS.
    const std::filesystem::path executable = executablePath();
    if (executable.empty())
        return Bundle(std::filesystem::path());
    return Bundle(executable.parent_path().parent_path().parent_path());
}

std::optional<QString> Bundle::infoString(const QString& key) const
{
    std::call_once(m_info->once, [this] {
        if (m_path.empty())
            return;
        if (const auto data = readRegularFile(m_path / "Contents" / "Info.plist", maxInfoPlistSize))
            m_info->strings = parseInfoStrings(*data);
    });
    if (!m_info->strings)
        return std::nullopt;
    const auto it = m_info->strings->constFind(key);
    if (it == m_info->strings->constEnd())
        return std::nullopt;
    return *it;
}

std::filesystem::path Bundle::resourcePath() const
{
    if (m_path.empty())
        return {};
    return m_path / "Contents" / "Resources";
}

std::optional<std::filesystem::path> Bundle::pathForResource(const QString& name, const QString& type) const
{
    // A resource is a direct child of the resource directory, never a path.
    if (m_path.empty() || name.isEmpty() || name.contains(u'/') || type.contains(u'/'))
        return std::nullopt;
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    if (fileName == u"." || fileName == u".." || fileName.contains(QChar(u'\0')))
        return std::nullopt;
    std::filesystem::path path = resourcePath() / QFile::encodeName(fileName).toStdString();
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
    return path;
}

} // namespace ZunoInstaller
