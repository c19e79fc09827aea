#include "platform/RegularFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZunoInstaller;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    const std::filesystem::path dir{QFile::encodeName(temporary.path()).toStdString()};
};

TEST_F(RegularFileTest, ReadsRegularFilesWithinTheLimitThroughLinks)
{
    const QByteArray content = QByteArray(100, 'x') + '\0' + "end";
    std::ofstream(dir / "table", std::ios::binary) << content.toStdString();
    EXPECT_EQ(readRegularFile(dir / "table", 104), content);
    EXPECT_EQ(readRegularFile(dir / "table", 103), std::nullopt);
    std::filesystem::create_symlink(dir / "table", dir / "link");
    EXPECT_EQ(readRegularFile(dir / "link", 104), content);
}

TEST_F(RegularFileTest, AnythingButARegularFileIsMissingAndNothingBlocks)
{
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "fifo", dir / "to-fifo");
    std::filesystem::create_symlink("/dev/zero", dir / "to-zero");
    std::filesystem::create_directory(dir / "folder");
    // Opening a FIFO without a writer would wait forever: fail the test instead.
    ::alarm(10);
    for (const char* name : {"fifo", "to-fifo", "to-zero", "folder", "missing"})
        EXPECT_EQ(readRegularFile(dir / name, 1 << 20), std::nullopt) << name;
    ::alarm(0);
}

} // namespace
