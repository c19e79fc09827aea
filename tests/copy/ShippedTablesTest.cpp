#include "copy/InstallerCopy.h"
#include "copy/VersionCaption.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

using namespace ZunoInstaller;

namespace {

const QStringList allKeys = QStringLiteral(
    "quit edit copy appTitle "
    "readyTitle prerequisiteTitle progressTitle errorTitle completeTitle "
    "readyDescription prerequisiteDescription progressDescription checkingDescription "
    "errorDescription runtimeErrorDescription completeDescription "
    "readyNotice prerequisiteNotice errorNotice technicalDetails "
    "verifyingFiles filesVerified waitingRegistration registered waitingPanel checkingPanel installing "
    "restartStep chatStep pinStep "
    "versionCaption install checkAgain downloadDesktop keepOpen copyError copied retry optionalCloud done "
    "exit").split(u' ');

QString resourcesIn(const char* variable, const char* below)
{
    return qEnvironmentVariable(variable) + QString::fromUtf8(below);
}

QHash<QString, QString> readTable(const QString& resources, const char* language)
{
    QFile file(resources + QStringLiteral("/%1.lproj/Localizable.strings").arg(QString::fromUtf8(language)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const auto entries = StringTable::parse(file.readAll());
    EXPECT_TRUE(entries) << file.fileName().toStdString() << " does not parse";
    return entries.value_or(QHash<QString, QString>());
}

class ShippedTables : public ::testing::TestWithParam<QString> {};

TEST_P(ShippedTables, BothHoldExactlyTheKeysWithTheSamePlaceholders)
{
    ASSERT_EQ(allKeys.size(), 41);
    const QSet<QString> expected(allKeys.cbegin(), allKeys.cend());
    const auto en = readTable(GetParam(), "en");
    const auto tr = readTable(GetParam(), "tr");
    for (const auto* table : {&en, &tr}) {
        const QList<QString> keys = table->keys();
        EXPECT_EQ(QSet<QString>(keys.cbegin(), keys.cend()), expected);
        for (auto it = table->cbegin(); it != table->cend(); ++it) {
            EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
            EXPECT_EQ(it.value().count(u'%'), it.key() == u"versionCaption" ? 1 : 0) << it.key().toStdString();
        }
    }
    for (const QString& key : allKeys)
        EXPECT_EQ(en.value(key).count(QStringLiteral("%@")), tr.value(key).count(QStringLiteral("%@"))) << key.toStdString();
    for (const auto* table : {&en, &tr}) {
        const QString caption = formatVersionCaption(table->value(QStringLiteral("versionCaption")), QStringLiteral("1.4.0"));
        EXPECT_TRUE(caption.contains(QStringLiteral("1.4.0")) && !caption.contains(u'%')) << caption.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(SourceAndBuiltBundle, ShippedTables,
                         ::testing::Values(resourcesIn("ZUNO_SOURCE_DIR", "/resources"),
                                           resourcesIn("ZUNO_TEST_BUNDLE", "/Contents/Resources")));

TEST(ShippedBundle, TurkishFirstReadsTheTurkishTable)
{
    const Bundle bundle(qEnvironmentVariable("ZUNO_TEST_BUNDLE"));
    const InstallerCopy turkish(QStringList{QStringLiteral("tr-TR")}, bundle);
    const InstallerCopy english(QStringList{QStringLiteral("en-GB")}, bundle);
    const QString resources = QFile::decodeName(bundle.resourcePath().c_str());
    const auto tr = readTable(resources, "tr");
    const auto en = readTable(resources, "en");
    for (const QString& key : allKeys) {
        EXPECT_EQ(turkish.text(key), tr.value(key)) << key.toStdString();
        EXPECT_EQ(english.text(key), en.value(key)) << key.toStdString();
    }
}

} // namespace
