#include "platform/RegularFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZunoInstaller;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zuno-file-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path write(const char* name, const std::string& content)
    {
        std::ofstream(dir / name, std::ios::binary) << content;
        return dir / name;
    }

    std::filesystem::path dir;
};

TEST_F(RegularFileTest, ReadsRegularFilesWithinTheLimitThroughLinks)
{
    const std::filesystem::path file = write("table", std::string(100, 'x') + '\0' + "end");
    EXPECT_EQ(readRegularFile(file, 104), QByteArray(100, 'x') + '\0' + "end");
    EXPECT_EQ(readRegularFile(file, 103), std::nullopt);
    EXPECT_EQ(readRegularFile(write("empty", ""), 0), QByteArray(""));
    std::filesystem::create_symlink(file, dir / "link");
    EXPECT_EQ(readRegularFile(dir / "link", 104)->size(), 104);
}

TEST_F(RegularFileTest, AnythingButARegularFileIsMissingAndNothingBlocks)
{
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "fifo", dir / "to-fifo");
    std::filesystem::create_symlink("/dev/zero", dir / "to-zero");
    std::filesystem::create_symlink("/dev/null", dir / "to-null");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_directory(dir / "folder");
    const std::filesystem::path unreadable = write("unreadable", "secret");
    std::filesystem::permissions(unreadable, std::filesystem::perms::none);

    // Opening a FIFO without a writer would wait forever: fail the test instead.
    ::alarm(10);
    for (const char* name : {"fifo", "to-fifo", "to-zero", "to-null", "dangling", "folder", "missing"})
        EXPECT_EQ(readRegularFile(dir / name, 1 << 20), std::nullopt) << name;
    ::alarm(0);
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_EQ(readRegularFile(unreadable, 100), std::nullopt);
    }
}

} // namespace
