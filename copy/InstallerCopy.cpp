#include "copy/InstallerCopy.h"

#include <deque>
#include <utility>

namespace ZunoInstaller {

QString rawValue(InstallerLanguage language)
{
    switch (language) {
    case InstallerLanguage::english: return QStringLiteral("en");
    case InstallerLanguage::turkish: return QStringLiteral("tr");
    }
    return QStringLiteral("en");
}

std::optional<InstallerLanguage> installerLanguage(const QString& rawValue)
{
    if (rawValue == u"en")
        return InstallerLanguage::english;
    if (rawValue == u"tr")
        return InstallerLanguage::turkish;
    return std::nullopt;
}

QStringList languageSubtags(const QString& identifier)
{
    // QString::toLower applies Unicode's default case mapping, never the
    // locale's: under a Turkish locale "I" still becomes "i", not "ı".
    QString lowered = identifier.toLower();
    lowered.replace(u'_', u'-');
    return lowered.split(u'-', Qt::SkipEmptyParts);
}

InstallerLanguage InstallerCopy::resolve(const QStringList& preferredLanguages)
{
    if (preferredLanguages.isEmpty())
        return InstallerLanguage::english;
    // Only the most preferred language counts.
    const QStringList subtags = languageSubtags(preferredLanguages.first());
    if (!subtags.isEmpty() && subtags.first() == u"tr")
        return InstallerLanguage::turkish;
    return InstallerLanguage::english;
}

namespace {

std::optional<StringTable> openLanguage(const Bundle& bundle, InstallerLanguage language)
{
    const auto path = bundle.pathForResource(rawValue(language), QStringLiteral("lproj"));
    if (!path)
        return std::nullopt;
    return StringTable::open(*path);
}

} // namespace

InstallerCopy::InstallerCopy(const QStringList& preferredLanguages, const Bundle& bundle)
    : language(resolve(preferredLanguages))
    , selected()
    , english(openLanguage(bundle, InstallerLanguage::english))
{
    // English chosen: both refer to the same folder, so read it once.
    selected = language == InstallerLanguage::english ? english : openLanguage(bundle, language);
}

QString InstallerCopy::text(const QString& key) const
{
    const QString fallback = english ? english->localizedString(key, key) : key;
    return selected ? selected->localizedString(key, fallback) : fallback;
}

InstallerCopy InstallerCopy::current()
{
    return InstallerCopy(QLocale::system().uiLanguages(), Bundle::main());
}

QUrl InstallerCopy::landingURL()
{
    static const QUrl url(QStringLiteral(ZUNO_LANDING_URL), QUrl::StrictMode);
    return url;
}

QUrl InstallerCopy::downloadURL()
{
    static const QUrl url(QStringLiteral(ZUNO_DOWNLOAD_URL), QUrl::StrictMode);
    return url;
}

namespace {

// Every copy ever made current, oldest first: a deque keeps references to
// its elements valid when more are appended.
std::deque<InstallerCopy>& processCopies()
{
    // A function-local static: initialised once, and safely from any thread.
    static std::deque<InstallerCopy> copies{InstallerCopy::current()};
    return copies;
}

} // namespace

const InstallerCopy& installerCopy()
{
    return processCopies().back();
}

void replaceInstallerCopy(InstallerCopy copy)
{
    processCopies().push_back(std::move(copy));
}

} // namespace ZunoInstaller
