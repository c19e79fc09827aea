#include "copy/InstallerCopy.h"
#include "tests/support/FileSystemNames.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZunoInstaller;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QStringList list(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out << u(item);
    return out;
}

TEST(LanguageChoice, OnlyTheFirstEntryAndItsFirstSubtagDecide)
{
    const std::initializer_list<std::initializer_list<const char*>> turkish = {
        {"tr"}, {"tr-TR"}, {"TR_tr"}, {"tr-Latn-TR"}, {"-tr"}, {"TR"}, {"tr_TR"}, {"tr-"},
        {"__tr__"}, {"tr-TR", "en-US"}};
    for (auto entries : turkish)
        EXPECT_EQ(InstallerCopy::resolve(list(entries)), InstallerLanguage::turkish) << *entries.begin();

    const std::initializer_list<std::initializer_list<const char*>> english = {
        {}, {""}, {"-"}, {"_-_"}, {"en-US", "tr-TR"}, {"en-TR"}, {"trk"}, {"turkish"}, {"de"},
        {"", "tr"}, {"t r"}, {"tr\xC4\xB1"}};
    for (auto entries : english)
        EXPECT_EQ(InstallerCopy::resolve(list(entries)), InstallerLanguage::english)
            << (entries.size() ? *entries.begin() : "(empty list)");
}

TEST(LanguageChoice, LowerCasingIgnoresTheTurkishLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QStringLiteral("tr_TR")));
    EXPECT_EQ(languageSubtags(u("TR_IR-LATN")), list({"tr", "ir", "latn"}));
    EXPECT_EQ(InstallerCopy::resolve(list({"TR"})), InstallerLanguage::turkish);
    EXPECT_EQ(InstallerCopy::resolve(list({"IT-tr"})), InstallerLanguage::english);
    QLocale::setDefault(previous);
}

TEST(LanguageChoice, RawValues)
{
    EXPECT_EQ(rawValue(InstallerLanguage::english), u("en"));
    EXPECT_EQ(rawValue(InstallerLanguage::turkish), u("tr"));
    EXPECT_EQ(installerLanguage(u("en")), InstallerLanguage::english);
    EXPECT_EQ(installerLanguage(u("tr")), InstallerLanguage::turkish);
    for (const char* other : {"EN", "tr-TR", "", "de"})
        EXPECT_EQ(installerLanguage(u(other)), std::nullopt) << other;
}

// A bundle with the given tables; a null table means no folder at all.
class CopyFallbacks : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const QStringList turkish = list({"tr-TR", "en-US"});
    const QStringList englishFirst = list({"en-US", "tr-TR"});

    Bundle bundle(const char* en, const char* tr)
    {
        const QString resources = dir.filePath(QStringLiteral("Contents/Resources"));
        QDir().mkpath(resources);
        for (auto [name, table] : {std::pair{"en", en}, std::pair{"tr", tr}}) {
            if (!table)
                continue;
            const QString lproj = resources + u("/") + u(name) + u(".lproj");
            QDir().mkpath(lproj);
            QFile file(lproj + u("/Localizable.strings"));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(table);
        }
        return Bundle(dir.path());
    }
};

TEST_F(CopyFallbacks, TurkishThenEnglishThenKey)
{
    const InstallerCopy copy(turkish, bundle("\"both\" = \"Both\"; \"en\" = \"English only\"; \"blank\" = \"\";",
                                             "\"both\" = \"İkisi\";"));
    EXPECT_EQ(copy.language, InstallerLanguage::turkish);
    EXPECT_EQ(copy.text(u("both")), u("İkisi"));
    EXPECT_EQ(copy.text(u("en")), u("English only"));
    EXPECT_EQ(copy.text(u("neither")), u("neither"));
    // An empty English text becomes an empty default, which shows the key.
    EXPECT_EQ(copy.text(u("blank")), u("blank"));
}

TEST_F(CopyFallbacks, EnglishChosenReadsTheEnglishFolderTwice)
{
    const InstallerCopy copy(englishFirst, bundle("\"k\" = \"Text\"; \"blank\" = \"\";", "\"k\" = \"Metin\";"));
    EXPECT_EQ(copy.language, InstallerLanguage::english);
    ASSERT_TRUE(copy.selected && copy.english);
    EXPECT_EQ(copy.selected->entries(), copy.english->entries());
    EXPECT_EQ(copy.text(u("k")), u("Text"));
    EXPECT_EQ(copy.text(u("missing")), u("missing"));
    EXPECT_EQ(copy.text(u("blank")), QString()); // present and empty stays empty
}

TEST_F(CopyFallbacks, MissingOrBrokenFolders)
{
    {
        const InstallerCopy copy(turkish, bundle("\"k\" = \"Text\";", nullptr));
        EXPECT_EQ(copy.language, InstallerLanguage::turkish);
        EXPECT_FALSE(copy.selected);
        EXPECT_EQ(copy.text(u("k")), u("Text"));
    }
    QDir(dir.path()).removeRecursively();
    {
        const InstallerCopy copy(turkish, bundle(nullptr, "\"k\" = \"Metin\";"));
        EXPECT_FALSE(copy.english);
        EXPECT_EQ(copy.text(u("k")), u("Metin"));
        EXPECT_EQ(copy.text(u("other")), u("other"));
    }
    QDir(dir.path()).removeRecursively();
    {
        const InstallerCopy copy(turkish, bundle("\"k\" = \"Text\";", "\"k\" = \"Metin\" /* no semicolon */"));
        ASSERT_TRUE(copy.selected); // the folder is there; its table counts as absent
        EXPECT_EQ(copy.text(u("k")), u("Text"));
    }
    QDir(dir.path()).removeRecursively();
    for (const QStringList& languages : {turkish, englishFirst}) {
        const InstallerCopy copy(languages, bundle(nullptr, nullptr));
        EXPECT_FALSE(copy.selected || copy.english);
        EXPECT_EQ(copy.text(u("quit")), u("quit"));
    }
}

TEST(CopyProcessWide, BuiltOnceWithAbsoluteAddresses)
{
    EXPECT_EQ(&installerCopy(), &installerCopy());
    for (const QUrl& url : {InstallerCopy::landingURL(), InstallerCopy::downloadURL()}) {
        EXPECT_TRUE(url.isValid()) << url.toString().toStdString();
        EXPECT_FALSE(url.isRelative());
        EXPECT_TRUE(url.scheme() == u"https" || url.scheme() == u"http");
        EXPECT_FALSE(url.host().isEmpty());
    }
}

// A bundle in a folder of the given name, whose Turkish table is a FIFO that
// nobody writes to.
class CopyResources : public ::testing::TestWithParam<const char*> {};

TEST_P(CopyResources, FoundUnderTheFolderAndNeverWaitingOnAFifo)
{
    QTemporaryDir dir;
    const std::filesystem::path bundle =
        std::filesystem::path(QFile::encodeName(dir.path()).toStdString()) / GetParam();
    const std::filesystem::path resources = bundle / "Contents" / "Resources";
    if (!createFoldersUnlessNameRefused(resources / "en.lproj"))
        GTEST_SKIP() << "this file system refuses folder names that are not UTF-8";
    std::filesystem::create_directories(resources / "tr.lproj");
    std::ofstream(resources / "en.lproj" / "Localizable.strings") << "\"quit\" = \"Leave\";";
    ASSERT_EQ(::mkfifo((resources / "tr.lproj" / "Localizable.strings").c_str(), 0600), 0);

    ::alarm(10); // a table read that waits for a writer ends the test here
    const InstallerCopy copy(list({"tr"}), Bundle(bundle));
    ::alarm(0);
    ASSERT_TRUE(copy.selected && copy.english);
    EXPECT_TRUE(copy.selected->entries().isEmpty());
    EXPECT_EQ(copy.text(u("quit")), u("Leave"));
}

// A name that is not UTF-8 (Linux takes it, APFS does not) and a plain one.
INSTANTIATE_TEST_SUITE_P(FolderNames, CopyResources, ::testing::Values("\xFF\xFE bundle", "bundle"));

TEST(CopyProcessWide, ReplacementTakesOverAndKeepsEarlierReferencesAlive)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(u("Contents/Resources/en.lproj"));
    QFile table(dir.path() + u("/Contents/Resources/en.lproj/Localizable.strings"));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("\"quit\" = \"Leave\";");
    table.close();

    const InstallerCopy& before = installerCopy();
    const QString beforeQuit = before.text(u("quit"));
    replaceInstallerCopy(InstallerCopy(list({"tr"}), Bundle(dir.path())));
    EXPECT_EQ(installerCopy().language, InstallerLanguage::turkish);
    EXPECT_EQ(installerCopy().text(u("quit")), u("Leave"));
    EXPECT_EQ(before.text(u("quit")), beforeQuit); // still a live object
}

} // namespace
