#pragma once

#include <QHash>
#include <QString>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace ZunoInstaller {

// An application bundle on disk: <path>/Contents/{Info.plist, MacOS/, Resources/}.
// The same layout is built on every platform.
//
// Paths stay as the system names them (bytes, std::filesystem::path): a
// folder whose name is not UTF-8 would not survive a trip through QString.
// Texts read from the bundle are UTF-8 as ever.
class Bundle {
public:
    explicit Bundle(std::filesystem::path bundlePath); // the folder that holds Contents/
    explicit Bundle(const QString& bundlePath);        // the same, named in text
    // From the running executable's own path, as the system gives it. A
    // bundle whose place cannot be learned has an empty path and no resources.
    static Bundle main();

    // The Info.plist value for key; none when the key is missing, the value is
    // not a string, or Info.plist is missing, not a regular file or unreadable.
    std::optional<QString> infoString(const QString& key) const;
    std::filesystem::path resourcePath() const; // <bundle>/Contents/Resources; empty for an empty bundle path
    // <resources>/<name>.<type> when it exists, else none.
    std::optional<std::filesystem::path> pathForResource(const QString& name, const QString& type) const;

    const std::filesystem::path& bundlePath() const { return m_path; }

private:
    // Info.plist is read once per bundle, on the first infoString(); copies of
    // a Bundle share it, and the first read may come from any thread.
    struct InfoCache {
        std::once_flag once;
        std::optional<QHash<QString, QString>> strings; // none: unreadable
    };

    std::filesystem::path m_path;
    std::shared_ptr<InfoCache> m_info;
};

} // namespace ZunoInstaller
