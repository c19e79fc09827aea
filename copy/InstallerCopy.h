#pragma once

#include "copy/StringTable.h"
#include "platform/Bundle.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace ZunoInstaller {

enum class InstallerLanguage { english, turkish };

QString rawValue(InstallerLanguage language); // "en", "tr"
std::optional<InstallerLanguage> installerLanguage(const QString& rawValue);

// A language identifier's subtags: lower-cased without regard to the user's
// locale, underscores read as hyphens, empty pieces dropped ("TR_tr" -> tr, tr).
QStringList languageSubtags(const QString& identifier);

// The interface language and every visible text by key, with its fallbacks:
// the chosen language, then English, then the key itself.
struct InstallerCopy {
    InstallerLanguage language;
    std::optional<StringTable> selected; // none when the chosen language's folder is missing
    std::optional<StringTable> english;  // none when there is no English folder

    static InstallerLanguage resolve(const QStringList& preferredLanguages);

    explicit InstallerCopy(const QStringList& preferredLanguages = QLocale::system().uiLanguages(),
                           const Bundle& bundle = Bundle::main());

    QString text(const QString& key) const;

    static InstallerCopy current();
    static QUrl landingURL();
    static QUrl downloadURL();
};

// The process-wide copy: built once, on first use, thread-safely.
const InstallerCopy& installerCopy();

// For tests and the screenshot tool, which show both languages in one process:
// makes `copy` the process-wide copy from now on. Main thread only, while no
// other thread reads texts; references handed out earlier stay valid.
void replaceInstallerCopy(InstallerCopy copy);

} // namespace ZunoInstaller
