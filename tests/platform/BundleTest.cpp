#include "platform/Bundle.h"
#include "tests/support/FileSystemNames.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZunoInstaller;

namespace {

QString plist(const QByteArray& dictBody)
{
    return QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\">\n<dict>\n" + dictBody + "\n</dict>\n</plist>\n");
}

class BundleTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    Bundle bundleWithInfo(const QString& contents)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("Contents/Resources")));
        QFile file(dir.filePath(QStringLiteral("Contents/Info.plist")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.toUtf8());
        return Bundle(dir.path());
    }
};

TEST_F(BundleTest, InfoStringReadsOnlyTopLevelStrings)
{
    const Bundle bundle = bundleWithInfo(plist(
        "<key>CFBundleShortVersionString</key><string>1.4.0</string>\n"
        "<key>Number</key><integer>14</integer>\n"
        "<key>Flag</key><true/>\n"
        "<key>List</key><array><string>a</string></array>\n"
        "<key>Nested</key><dict><key>Inner</key><string>hidden</string></dict>\n"
        "<key>Escaped</key><string>a &amp; b &lt;c&gt; <![CDATA[&x]]></string>\n"
        "<key>Empty</key><string/>\n"
        "<key>Twice</key><string>first</string><key>Twice</key><string>second</string>\n"
        "<key>Replaced</key><string>text</string><key>Replaced</key><integer>1</integer>"));

    EXPECT_EQ(bundle.infoString(QStringLiteral("CFBundleShortVersionString")), QStringLiteral("1.4.0"));
    EXPECT_EQ(bundle.infoString(QStringLiteral("Escaped")), QStringLiteral("a & b <c> &x"));
    EXPECT_EQ(bundle.infoString(QStringLiteral("Empty")), QString());
    EXPECT_EQ(bundle.infoString(QStringLiteral("Twice")), QStringLiteral("second"));
    for (const char* key : {"Missing", "Number", "Flag", "List", "Nested", "Inner", "Replaced", "cfbundleshortversionstring"})
        EXPECT_EQ(bundle.infoString(QString::fromUtf8(key)), std::nullopt) << key;
}

TEST_F(BundleTest, UnreadableInfoPlistGivesNoValues)
{
    const QString valid = plist("<key>V</key><string>1.4.0</string>");
    const QStringList broken = {
        valid.left(valid.size() - 10),                                        // truncated
        valid + QStringLiteral("<plist/>"),                                   // second root
        QStringLiteral("<plist><array><string>V</string></array></plist>"),  // not a dict
        QStringLiteral("<dict><key>V</key><string>1.4.0</string></dict>"),   // no plist element
        plist("<key>V</key><string>1.4.0</string><key>Dangling</key>"),      // key without value
        plist("<key>V</key><string>1.4.0</string><string>x</string>"),       // value without key
        plist("<key>V</key><string>1.<b>4</b>.0</string>"),                  // markup in a string
        plist("<key>V</key><string>1.4.0</string><key>W</key><colour/>"),    // unknown value type
        // An external entity is never fetched; the reference is an error.
        QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                       "<plist><dict><key>V</key><string>&x;</string></dict></plist>"),
        QStringLiteral("not xml at all"),
        QString(),
    };
    for (const QString& contents : broken)
        EXPECT_EQ(bundleWithInfo(contents).infoString(QStringLiteral("V")), std::nullopt) << contents.toStdString();

    EXPECT_EQ(Bundle(dir.filePath(QStringLiteral("nowhere"))).infoString(QStringLiteral("V")), std::nullopt);

    // A FIFO in its place: missing, without waiting for a writer.
    const QString info = dir.filePath(QStringLiteral("Contents/Info.plist"));
    ASSERT_TRUE(QFile::remove(info));
    ASSERT_EQ(::mkfifo(QFile::encodeName(info).constData(), 0600), 0);
    ::alarm(10);
    EXPECT_EQ(Bundle(dir.path()).infoString(QStringLiteral("V")), std::nullopt);
    ::alarm(0);
}

TEST_F(BundleTest, EntityExpansionIsBounded)
{
    QString lol = QStringLiteral("<!ENTITY a0 \"lollollollollollollollollollol\">");
    for (int i = 1; i < 10; ++i)
        lol += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">").arg(i).arg(i - 1);
    const Bundle bundle = bundleWithInfo(QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE plist [") + lol
                                         + QStringLiteral("]><plist><dict><key>V</key><string>&a9;</string></dict></plist>"));
    EXPECT_EQ(bundle.infoString(QStringLiteral("V")), std::nullopt);
}

TEST_F(BundleTest, ResourcesAreDirectChildrenOfTheResourceDirectory)
{
    const Bundle bundle = bundleWithInfo(plist(""));
    const std::filesystem::path resources = bundle.bundlePath() / "Contents" / "Resources";
    EXPECT_EQ(bundle.resourcePath(), resources);
    std::filesystem::create_directory(resources / "en.lproj");
    ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("Contents/Resources/notes.txt"))).open(QIODevice::WriteOnly));

    EXPECT_EQ(bundle.pathForResource(QStringLiteral("en"), QStringLiteral("lproj")), resources / "en.lproj");
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("notes"), QStringLiteral("txt")), resources / "notes.txt");
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("tr"), QStringLiteral("lproj")), std::nullopt);
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("en"), QStringLiteral("txt")), std::nullopt);
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("../Info"), QStringLiteral("plist")), std::nullopt);
    EXPECT_EQ(bundle.pathForResource(QString(), QStringLiteral("lproj")), std::nullopt);
    // A bundle that could not be located finds nothing, not the current folder's.
    EXPECT_EQ(Bundle(std::filesystem::path()).resourcePath(), std::filesystem::path());
    EXPECT_EQ(Bundle(std::filesystem::path()).pathForResource(QStringLiteral("en"), QStringLiteral("lproj")),
              std::nullopt);
}

TEST_F(BundleTest, FolderNamesThatAreNotUtf8ReachEveryFile)
{
    // Legal on Linux; QString would turn these bytes into U+FFFD.
    const std::filesystem::path odd = std::filesystem::path(QFile::encodeName(dir.path()).toStdString()) /
                                      "caf\xE9 \xFF" / "ZunoInstaller.app";
    if (!createFoldersUnlessNameRefused(odd / "Contents" / "Resources" / "en.lproj"))
        GTEST_SKIP() << "this file system refuses folder names that are not UTF-8";
    std::ofstream(odd / "Contents" / "Info.plist") << plist("<key>V</key><string>1.4.0</string>").toStdString();

    const Bundle bundle(odd);
    EXPECT_EQ(bundle.bundlePath(), odd);
    EXPECT_EQ(bundle.infoString(QStringLiteral("V")), QStringLiteral("1.4.0"));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("en"), QStringLiteral("lproj")),
              odd / "Contents" / "Resources" / "en.lproj");
}

TEST(BundleMainTest, FoundFromTheExecutableWithAndWithoutAnApplication)
{
    const std::filesystem::path withoutApp = Bundle::main().bundlePath();
    int argc = 1;
    char name[] = "platform_bundle_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(Bundle::main().bundlePath(), withoutApp);
    // The executable stands where an app's would: two levels below the bundle folder.
    const std::filesystem::path executable(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    EXPECT_EQ(executable.parent_path().parent_path().parent_path(), withoutApp);
}

} // namespace
