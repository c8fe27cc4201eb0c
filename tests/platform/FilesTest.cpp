// Whole-file writes and set.ini items through the platform's own functions:
// POSIX calls and our INI reader and writer on Linux, the Windows functions
// under Wine. Both must leave the same bytes, since the files move with the
// program between PCs. Everything happens in a folder named in Chinese, as a
// school's own folders often are.

#include "platform/Files.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

using namespace velmora::platform;
namespace fs = std::filesystem;

namespace {

// "保存目录", "最后目录" and "D:\照片\" in GBK.
const std::string SECTION = "\xB1\xA3\xB4\xE6\xC4\xBF\xC2\xBC";
const std::string KEY = "\xD7\xEE\xBA\xF3\xC4\xBF\xC2\xBC";
const std::string PHOTOS = "D:\\\xD5\xD5\xC6\xAC\\";

class ChineseFolder : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
            / pathFromUtf8("velmora-设置-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    fs::path file(const char* name = "set.ini") const { return m_dir / name; }

    std::string bytes(const char* name = "set.ini") const
    {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    void write(const std::string& bytes, const char* name = "set.ini") const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }

    std::size_t entryCount() const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

private:
    fs::path m_dir;
};

TEST_F(ChineseFolder, ProfileNewFileHoldsTheItemOnly)
{
    EXPECT_EQ(readProfileString(file(), SECTION, KEY), std::nullopt);
    ASSERT_TRUE(writeProfileString(file(), SECTION, KEY, PHOTOS));
    EXPECT_EQ(bytes(), "[" + SECTION + "]\r\n" + KEY + "=" + PHOTOS + "\r\n");
    EXPECT_EQ(readProfileString(file(), SECTION, KEY), PHOTOS);
}

TEST_F(ChineseFolder, ProfileWriteChangesOnlyTheItemsLine)
{
    write("; school PC\r\n[" + SECTION + "]\r\n" + KEY + "=C:\\\r\nz=1\r\n[x]\r\ny=2\r\n");
    ASSERT_TRUE(writeProfileString(file(), SECTION, KEY, PHOTOS));
    EXPECT_EQ(bytes(), "; school PC\r\n[" + SECTION + "]\r\n" + KEY + "=" + PHOTOS
                           + "\r\nz=1\r\n[x]\r\ny=2\r\n");
    EXPECT_EQ(readProfileString(file(), "x", "y"), "2");
}

TEST_F(ChineseFolder, ProfileReadsWhatIsThereAndNothingElse)
{
    write("[x]\r\n" + KEY + "=elsewhere\r\n[" + SECTION + "]\r\n other = 1 \r\n");
    EXPECT_EQ(readProfileString(file(), SECTION, KEY), std::nullopt);
    EXPECT_EQ(readProfileString(file(), SECTION, "other"), "1");
    write("[" + SECTION + "]\r\n" + KEY + "=\r\n");
    EXPECT_EQ(readProfileString(file(), SECTION, KEY), "");
}

// A photo or template that cannot be written leaves no half-written file,
// and an existing file survives a failed replacement.
TEST_F(ChineseFolder, ReplaceFileIsWholeOrNothing)
{
    const std::string bytes(5000, '\xAB');
    EXPECT_TRUE(replaceFile(file("new.xls"), bytes));
    EXPECT_EQ(this->bytes("new.xls"), bytes);

    write("old contents, longer than the new ones", "old.xls");
    EXPECT_TRUE(replaceFile(file("old.xls"), "new"));
    EXPECT_EQ(this->bytes("old.xls"), "new");

    std::string reason;
    EXPECT_FALSE(replaceFile(file("no such folder") / "t.xls", bytes, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(replaceFile(file("") , bytes));   // the folder itself
    EXPECT_FALSE(replaceFile(fs::path(), bytes));
    EXPECT_EQ(entryCount(), 2u);   // new.xls and old.xls, no leftovers
}

// A picture viewer or a virus scanner holding a student's earlier photo open
// must not cost the retake: Windows refuses to rename over a file held open,
// and the replace tries again until the viewer lets go. (Where the system
// lets a held file be replaced, the first try succeeds.)
TEST_F(ChineseFolder, ReplaceFileWaitsForAProgramHoldingTheOldFile)
{
    write("the first photo", "photo.jpg");
    auto viewer = std::make_unique<std::ifstream>(file("photo.jpg"), std::ios::binary);
    ASSERT_TRUE(viewer->is_open());
    std::atomic<bool> done{false};
    bool replaced = false;
    std::thread writer([&] {
        replaced = replaceFile(file("photo.jpg"), "the retake");
        done = true;
    });
    // The viewer lets go a while after the retake is waiting beside the
    // photo, once its first rename has surely been tried.
    while (!done && entryCount() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int i = 0; i < 60 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    viewer.reset();
    writer.join();
    EXPECT_TRUE(replaced);
    EXPECT_EQ(bytes("photo.jpg"), "the retake");
    EXPECT_EQ(entryCount(), 1u);
}

// A run killed in the middle of a write leaves its temporary file behind;
// the next write into that folder removes it, and nothing else: not a file
// another copy of the program is writing now, not anyone else's file.
TEST_F(ChineseFolder, ReplaceFileRemovesOnlyStaleTemporaryFilesOfOurs)
{
    struct Entry {
        const char* name;
        bool folder;
        int minutesOld;
        bool kept;
    };
    const Entry entries[] = {
        {".velmora-0123456789abcdef.tmp", false, 60, false},
        {".velmora-00000000ffffffff.tmp", false, 11, false},
        {".velmora-1111111111111111.tmp", false, 0, true},  // being written now
        {".velmora-2222222222222222.tmp", true, 60, true},   // a folder
        {".velmora-photo.tmp", false, 60, true},
        {"velmora-3333333333333333.tmp", false, 60, true},
        {".velmora-4444444444444444.jpg", false, 60, true},
        {"old.jpg", false, 60, true},
    };
    for (const Entry& entry : entries) {
        const auto written = fs::file_time_type::clock::now() - std::chrono::minutes(entry.minutesOld);
        if (entry.folder) {
            fs::create_directory(file(entry.name));
            // Wine refuses to set a folder's time; a folder must stay either way.
            std::error_code ignored;
            fs::last_write_time(file(entry.name), written, ignored);
        } else {
            write("x", entry.name);
            fs::last_write_time(file(entry.name), written);
        }
    }
    ASSERT_TRUE(replaceFile(file("new.jpg"), "photo"));
    for (const Entry& entry : entries)
        EXPECT_EQ(fs::exists(file(entry.name)), entry.kept) << entry.name;
    EXPECT_EQ(bytes("new.jpg"), "photo");
}

// Where the program's executable is: set.ini lives beside it.
TEST(ExecutableDirectory, HoldsTheRunningProgram)
{
    const fs::path directory = executableDirectory();
    ASSERT_TRUE(fs::is_directory(directory)) << utf8FromPath(directory);
    bool found = false;
    for (const auto& entry : fs::directory_iterator(directory))
        found = found || entry.path().stem() == "platform_ini_test";
    EXPECT_TRUE(found) << utf8FromPath(directory);
}

} // namespace
