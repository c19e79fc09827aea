#pragma once

#include <QString>

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
    QString m_path;
};

} // namespace ZunoInstaller
