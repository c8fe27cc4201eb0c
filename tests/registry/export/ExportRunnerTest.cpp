#include "registry/export/ExportRunner.h"
#include "registry/export/NewestPhoto.h"
#include "registry/export/OutputFolder.h"

#include "platform/Files.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

namespace velmora::registry {
namespace {

using test::TempTree;
namespace fs = std::filesystem;

// A JPEG file's head built field by field, then filler up to `size` bytes.
struct Head {
    int width = 358;
    int height = 441;
    unsigned char frame = 0xC0; // SOF0 baseline; 0xC2 progressive
    int unit = 1;               // JFIF density unit: 1 dots per inch
    int density = 350;
    std::string extra;          // whole segments after APP0
    std::size_t size = 30'000;
};

// Chinese names through UTF-8, as the program hands them to the file system.
fs::path u8(const char* text)
{
    return platform::pathFromUtf8(text);
}

std::string word(int value)
{
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string jpegHead(const Head& head)
{
    std::string bytes("\xFF\xD8", 2);
    bytes += std::string("\xFF\xE0", 2) + word(16) + std::string("JFIF\0\x01\x01", 7)
        + static_cast<char>(head.unit) + word(head.density) + word(head.density) + std::string(2, '\0');
    bytes += head.extra;
    bytes += std::string("\xFF", 1) + static_cast<char>(head.frame) + word(17) + '\x08' + word(head.height)
        + word(head.width) + '\x03' + std::string(9, '\x01');
    bytes += std::string("\xFF\xDA", 2) + word(12) + std::string(10, '\0');
    bytes.resize(head.size - 2, '\x55');
    return bytes + std::string("\xFF\xD9", 2);
}

const std::string EXIF_SEGMENT = std::string("\xFF\xE1", 2) + word(8) + std::string("Exif\0\0", 6);
const std::string COMMENT_SEGMENT = std::string("\xFF\xFE", 2) + word(6) + "hi!!";

// Photos that go to the upload byte for byte, and the ways a photo misses.
TEST(ExportRunnerTest, PhotoMeetsPresetAsItIs)
{
    struct Row {
        const char* name;
        void (*change)(Head&);
        bool meets;
    };
    const Row rows[] = {
        {"meets", [](Head&) {}, true},
        {"one pixel narrower", [](Head& head) { head.width = 357; }, false},
        {"progressive", [](Head& head) { head.frame = 0xC2; }, false},
        {"EXIF (orientation, phone details)", [](Head& head) { head.extra = EXIF_SEGMENT; }, false},
        {"comment", [](Head& head) { head.extra = COMMENT_SEGMENT; }, false},
        {"72 dpi", [](Head& head) { head.density = 72; }, false},
        {"no stated resolution", [](Head& head) { head.unit = 0, head.density = 1; }, false},
        {"60,000 bytes", [](Head& head) { head.size = 60'000; }, false},
        {"59,999 bytes", [](Head& head) { head.size = 59'999; }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Head head;
        row.change(head);
        EXPECT_EQ(meetsPreset(jpegHead(head), registryPreset()), row.meets);
    }
    EXPECT_FALSE(meetsPreset(jpegHead({}).substr(0, 30), registryPreset())); // cut before the frame header
}

TEST(ExportRunnerTest, OutputFolderNeverTheReceiveFolder)
{
    TempTree tree;
    const fs::path receive = tree.root() / u8("照片");
    TempTree::write(receive / u8("1班") / "a.jpg", "photo");
    TempTree::write(tree.root() / "full" / "old.jpg", "old");
    TempTree::write(tree.root() / "file", "x");
    fs::create_directories(tree.root() / "empty");
    std::error_code noLinks; // Windows may refuse to make links without privileges
    fs::create_directory_symlink(receive, tree.root() / "link", noLinks);
    struct Row {
        const char* name;
        fs::path output;
        OutputFolderCheck expected;
    };
    const Row rows[] = {
        {"the receive folder", receive, OutputFolderCheck::IsReceiveFolder},
        {"another spelling", tree.root() / u8("照片") / ".." / u8("照片") / ".", OutputFolderCheck::IsReceiveFolder},
        {"through a link", tree.root() / "link", OutputFolderCheck::IsReceiveFolder},
        {"a class folder inside", receive / u8("1班"), OutputFolderCheck::InsideReceiveFolder},
        {"a new folder inside", receive / u8("导出") / u8("上传"), OutputFolderCheck::InsideReceiveFolder},
        {"new beside it", tree.root() / u8("导出"), OutputFolderCheck::Usable},
        {"empty", tree.root() / "empty", OutputFolderCheck::Usable},
        {"holds files", tree.root() / "full", OutputFolderCheck::HoldsFiles},
        {"a file", tree.root() / "file", OutputFolderCheck::NotAFolder},
        {"no path", fs::path(), OutputFolderCheck::NotAFolder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (noLinks && row.output == tree.root() / "link")
            continue;
        EXPECT_EQ(checkOutputFolder(receive, row.output), row.expected);
    }
}

// Guards against an export that starts at no folder (or inside the
// receive folder) when the receive folder's text ends in a separator, as
// the window keeps it, and against a name beside a drive's root.
TEST(ExportRunnerTest, OutputFolderBesideTheReceiveFolder)
{
    TempTree tree;
    const fs::path receive = tree.root() / u8("照片");
    fs::create_directories(receive);
    struct Row {
        const char* name;
        fs::path receive;
        fs::path expected;
    };
    const Row rows[] = {
        {"plain", receive, tree.root() / u8("照片_上传")},
        {"trailing separator", receive / "", tree.root() / u8("照片_上传")},
        {"root", tree.root().root_path(), fs::path()},
        {"no folder", fs::path(), fs::path()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(outputFolderBeside(row.receive), row.expected);
    }
    EXPECT_EQ(checkOutputFolder(receive, outputFolderBeside(receive / "")), OutputFolderCheck::Usable);
}

// A converter that reads its verdict from the photo's text: "ready" photos
// meet the preset as they are, "blurred" ones fail the sharpness check.
Conversion fakeConvert(std::string_view photo, const ExportPreset& preset, bool keepFlagged)
{
    if (meetsPreset(photo, preset))
        return {Conversion::Status::Unchanged, {}};
    if (photo.starts_with("small"))
        return {Conversion::Status::SmallerThanPreset, {}};
    if (photo.starts_with("huge"))
        return {Conversion::Status::CannotFit, {}};
    if (photo.starts_with("photo"))
        return {Conversion::Status::Converted, "made from " + std::string(photo)};
    if (photo.starts_with("blurred") && !keepFlagged)
        return {Conversion::Status::Reshoot, {}, PhotoCheck::Blurred};
    if (photo.starts_with("blurred"))
        return {Conversion::Status::Converted, "made from " + std::string(photo), PhotoCheck::Blurred};
    return {Conversion::Status::Unreadable, {}};
}

ExportJob job(fs::path source, fs::path target, const char* student)
{
    ExportJob made;
    made.source = std::move(source);
    made.target = std::move(target);
    made.student = student;
    made.name = student;
    made.identity = "S_1_" + std::string(student);
    return made;
}

TEST(ExportRunnerTest, WritesCopiesAndLeavesOutWithReasons)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    const std::string ready = jpegHead({});
    TempTree::write(receive / "a.jpg", "photo a");
    TempTree::write(receive / "ready.jpg", ready);
    TempTree::write(receive / "small.jpg", "small");
    TempTree::write(receive / "huge.jpg", "huge");
    TempTree::write(receive / "bad.jpg", "garbage");
    TempTree::write(receive / "b.jpg", "photo b");
    TempTree::write(receive / "c.jpg", "blurred c");
    const auto receiveFolderOnly = [](std::map<std::string, std::string> entries) {
        std::erase_if(entries, [](const auto& entry) { return !entry.first.starts_with("recv"); });
        return entries;
    };
    const auto before = receiveFolderOnly(tree.snapshot());
    // The output folder holds the receive folder: a name leading into it
    // must not be written.
    const fs::path out = tree.root();
    const std::vector<ExportJob> jobs = {
        job(receive / "a.jpg", "20230101/11010520080101001X.jpg", "甲"),
        job(receive / "ready.jpg", u8("无身份证照片/1234_20230101_乙.jpg"), "乙"),
        job(receive / "small.jpg", "20230101/s.jpg", "丙"),
        job(receive / "huge.jpg", "20230101/h.jpg", "丁"),
        job(receive / "bad.jpg", "20230101/bad.jpg", "戊"),
        job(receive / "missing.jpg", "20230101/m.jpg", "己"),
        job(receive / "b.jpg", "20230101/11010520080101001x.jpg", "庚"), // same file on Windows as 甲's
        job(receive / "b.jpg", "../b.jpg", "辛"),
        job(receive / "b.jpg", "recv/b.jpg", "壬"),
        job(receive / "c.jpg", "20230101/c.jpg", "癸"),
    };
    ExportRunner runner(registryPreset(), fakeConvert, receive, out);
    runner.setThreadCount(2);
    std::atomic<std::size_t> reports{0};
    runner.setProgress([&](std::size_t, std::size_t total) {
        EXPECT_EQ(total, jobs.size());
        ++reports;
    });
    const ExportOutcome outcome = runner.run(jobs);

    EXPECT_EQ(outcome.written, 1u);
    EXPECT_EQ(outcome.copied, 1u);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(reports, jobs.size());
    const std::vector<std::pair<std::size_t, LeftOutReason>> expected = {
        {2, LeftOutReason::SmallerThanPreset}, {3, LeftOutReason::CannotFitSize},
        {4, LeftOutReason::Unreadable},        {5, LeftOutReason::Unreadable},
        {6, LeftOutReason::SameTarget},        {7, LeftOutReason::OutsideOutput},
        {8, LeftOutReason::OutsideOutput},     {9, LeftOutReason::NeedsReshoot},
    };
    ASSERT_EQ(outcome.leftOut.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(outcome.leftOut[i].job, expected[i].first);
        EXPECT_EQ(outcome.leftOut[i].reason, expected[i].second);
    }
    ASSERT_EQ(outcome.flagged.size(), 1u);
    EXPECT_EQ(outcome.flagged[0].job, 9u);
    EXPECT_FALSE(outcome.flagged[0].exported);
    EXPECT_EQ(reshootLine(jobs[9], outcome.flagged[0].check), "癸 S_1_癸：照片模糊，需重拍");
    EXPECT_EQ(TempTree::read(out / "20230101" / "11010520080101001X.jpg"), "made from photo a");
    EXPECT_EQ(TempTree::read(out / u8("无身份证照片/1234_20230101_乙.jpg")), ready);
    EXPECT_FALSE(fs::exists(out / "20230101" / "s.jpg"));
    EXPECT_FALSE(fs::exists(out / "20230101" / "c.jpg"));
    EXPECT_FALSE(fs::exists(tree.root().parent_path() / "b.jpg"));
    EXPECT_EQ(receiveFolderOnly(tree.snapshot()), before); // the receive folder untouched
    EXPECT_EQ(summaryLine(outcome), "已写入 1 张，原样复制 1 张，未导出 8 张，需重拍 1 张");
}

// 仍然导出需重拍的照片: the flagged photo is written all the same, and still
// listed as one to reshoot (staff must not take it for a good one).
TEST(ExportRunnerTest, KeepsFlaggedPhotosWhenAsked)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    TempTree::write(receive / "c.jpg", "blurred c");
    TempTree::write(receive / "a.jpg", "photo a");
    const std::vector<ExportJob> jobs = {job(receive / "a.jpg", "1/a.jpg", "甲"), job(receive / "c.jpg", "1/c.jpg", "癸")};
    ExportRunner runner(registryPreset(), fakeConvert, receive, tree.root() / "out");
    runner.setKeepFlagged(true);
    const ExportOutcome outcome = runner.run(jobs);
    EXPECT_EQ(outcome.written, 2u);
    EXPECT_TRUE(outcome.leftOut.empty());
    ASSERT_EQ(outcome.flagged.size(), 1u);
    EXPECT_EQ(outcome.flagged[0].job, 1u);
    EXPECT_TRUE(outcome.flagged[0].exported);
    EXPECT_EQ(TempTree::read(tree.root() / "out" / "1" / "c.jpg"), "made from blurred c");
    EXPECT_EQ(summaryLine(outcome), "已写入 2 张，原样复制 0 张，未导出 0 张，需重拍 1 张");
}

// A cancel while a photo is being made: that photo is not written, nothing
// after it is started, and no temporary or partial file is left.
TEST(ExportRunnerTest, CancelLeavesOnlyWholeFiles)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    std::vector<ExportJob> jobs;
    for (int i = 0; i < 40; ++i) {
        const std::string name = std::to_string(i) + ".jpg";
        TempTree::write(receive / name, "photo " + std::to_string(i));
        jobs.push_back(job(receive / name, u8("1班") / name, "学生"));
    }
    const fs::path out = tree.root() / "out";
    ExportRunner* running = nullptr;
    ExportRunner runner(
        registryPreset(),
        [&](std::string_view photo, const ExportPreset& preset, bool keep) {
            if (photo == "photo 5")
                running->cancel();
            return fakeConvert(photo, preset, keep);
        },
        receive, out);
    running = &runner;
    runner.setThreadCount(2);
    const ExportOutcome outcome = runner.run(jobs);

    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(fs::exists(out / "1班" / "5.jpg"));
    // At most the other worker's photo besides the five before it.
    EXPECT_LE(outcome.written, 6u);
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        const std::string name = entry.path().stem().string();
        EXPECT_EQ(TempTree::read(entry.path()), "made from photo " + name) << entry.path();
    }
    EXPECT_EQ(files, outcome.written);
}

// A re-shoot replaces the earlier photo: the newest by modification time is
// exported and the rest listed, whatever order the folder listing gives.
TEST(ExportRunnerTest, NewestPhotoOfAStudent)
{
    struct Row {
        const char* name;
        std::vector<int> ages; // seconds before now per photo; -1 for a missing file
        std::size_t used;
    };
    const Row rows[] = {
        {"newest listed last", {30, 20, 10}, 2},
        {"newest listed first", {10, 30, 20}, 0},
        {"same time: the first listed", {20, 20, 30}, 0},
        {"a missing photo counts as oldest", {-1, 50}, 1},
    };
    TempTree tree;
    const auto now = fs::file_time_type::clock::now();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<fs::path> photos;
        for (std::size_t i = 0; i < row.ages.size(); ++i) {
            photos.push_back(tree.root() / (std::string(row.name) + std::to_string(i) + ".jpg"));
            if (row.ages[i] < 0)
                continue;
            TempTree::write(photos.back(), "photo");
            fs::last_write_time(photos.back(), now - std::chrono::seconds(row.ages[i]));
        }
        const ExportJob job = newestPhotoJob(photos, "1/x.jpg", "甲");
        EXPECT_EQ(job.source, photos[row.used]);
        std::vector<fs::path> others = photos;
        others.erase(others.begin() + static_cast<std::ptrdiff_t>(row.used));
        EXPECT_EQ(job.passedOver, others);
    }
}

} // namespace
} // namespace velmora::registry
