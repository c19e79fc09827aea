#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace ZunoInstaller {

// An application bundle on disk: <path>/Contents/{Info.plist, MacOS/, Resources/}.
// The same layout is built on every platform.
class Bundle {
public:
    explicit Bundle(const QString& bundlePath); // the folder that holds Contents/
    static Bundle main();                       // from the running executable

    // The Info.plist value for key; none when the key is missing, the value is
    // not a string, or Info.plist is missing or cannot be read.
    std::optional<QString> infoString(const QString& key) const;
    QString resourcePath() const; // <bundle>/Contents/Resources
    // <resources>/<name>.<type> when it exists, else none.
    std::optional<QString> pathForResource(const QString& name, const QString& type) const;

    QString bundlePath() const { return m_path; }

private:
    // Info.plist is read once per bundle, on the first infoString(); copies of
    // a Bundle share it, and the first read may come from any thread.
    struct InfoCache {
        std::once_flag once;
        std::optional<QHash<QString, QString>> strings; // none: unreadable
    };

    QString m_path;
    std::shared_ptr<InfoCache> m_info;
};

} // namespace ZunoInstaller
