// Where photos are stored and how: GBK names with "\" levels and the
// 无身份证照片 folder for names holding "_", names that try to leave the
// receive directory, and writes that never destroy an earlier photo. GBK
// bytes were taken from Python's codecs: 学生 D1 A7 C9 FA, 班 B0 E0,
// 乗 81 5C ("\" trail), 俖 82 5F ("_" trail).

#include "link/PhotoStore.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using velmora::link::PhotoName;
using velmora::link::StoreResult;
using velmora::link::storeListEntry;
using velmora::link::storePhoto;
using velmora::test::TempTree;
using Status = StoreResult::Status;

namespace {

fs::path utf8Path(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// Every file below `directory`, by its path below it as UTF-8 text, with its
// contents.
std::map<std::string, std::string> filesBelow(const fs::path& directory)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            const std::u8string relative = entry.path().lexically_relative(directory).generic_u8string();
            files[std::string(relative.begin(), relative.end())] = TempTree::read(entry.path());
        }
    }
    return files;
}

struct PlaceCase {
    const char* name;
    std::string gbkName;
    std::string storedAt;           // UTF-8, relative to the receive directory
    std::string fileName;           // GBK, what the window shows
    std::string alsoMadeDirectory;  // UTF-8, "" for none
    std::string unicodeName = {};   // UTF-8: the name's own form, where GBK lacks a character
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

class PlaceTable : public testing::TestWithParam<PlaceCase> {};

// Guards against names split inside a double-byte character, files for
// students without an ID-card number landing beside the others, and photos
// lost because a directory they need was not made.
TEST_P(PlaceTable, StoresWhereTheNameSays)
{
    const PlaceCase& c = GetParam();
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    fs::create_directory(receive);
    const StoreResult result = storePhoto(receive, PhotoName(c.gbkName, c.unicodeName), "JPEG-BYTES");
    EXPECT_EQ(result.status, Status::Stored) << result.detail;
    EXPECT_EQ(result.fileName, c.fileName);
    // 标签11 shows the file name as it is stored: its own characters where
    // GBK lacks some, and the form a name Windows refuses is stored under.
    const std::size_t shownAt = c.storedAt.size() - result.shownName.size();
    EXPECT_TRUE(!result.shownName.empty() && c.storedAt.ends_with(result.shownName)
                && (shownAt == 0 || c.storedAt[shownAt - 1] == '/'))
        << result.shownName;
    EXPECT_EQ(TempTree::read(receive / utf8Path(c.storedAt)), "JPEG-BYTES");
    if (!c.alsoMadeDirectory.empty()) {
        EXPECT_TRUE(fs::is_directory(receive / utf8Path(c.alsoMadeDirectory)));
    }
    // Exactly one file, no temporary one left behind, and the file system
    // lists it under the name's own characters (on Windows the wide name, not
    // the GBK bytes read in some other code page).
    const std::map<std::string, std::string> expected{{c.storedAt, "JPEG-BYTES"}};
    EXPECT_EQ(filesBelow(receive), expected);
}

INSTANTIATE_TEST_SUITE_P(Names, PlaceTable, testing::Values(
    PlaceCase{"Plain", "c.jpg", "c.jpg", "c.jpg", ""},
    PlaceCase{"Levels", "a\\b\\c.jpg", "a/b/c.jpg", "c.jpg", ""},
    PlaceCase{"NoIdNumber", "\xD1\xA7\xC9\xFA_1.jpg", "无身份证照片/学生_1.jpg", "\xD1\xA7\xC9\xFA_1.jpg", ""},
    // The directory part is made under the receive directory as well.
    PlaceCase{"NoIdNumberWithLevel", "\xB0\xE0" "1\\\xD1\xA7\xC9\xFA_1.jpg", "无身份证照片/班1/学生_1.jpg",
              "\xD1\xA7\xC9\xFA_1.jpg", "班1"},
    PlaceCase{"BackslashTrail", "\x81\x5C.jpg", "乗.jpg", "\x81\x5C.jpg", ""},
    PlaceCase{"BackslashTrailLastLevel", "x\\\x81\x5C", "x/乗", "\x81\x5C", ""},
    PlaceCase{"UnderscoreTrail", "\x82\x5F.jpg", "俖.jpg", "\x82\x5F.jpg", ""},
    PlaceCase{"ForwardSlashLevel", "a/b.jpg", "a/b.jpg", "a/b.jpg", ""},
    PlaceCase{"DotsInsideName", "a..b.jpg", "a..b.jpg", "a..b.jpg", ""},
    // Students whose names hold characters GBK lacks (王䶮, 李𡒄): filed under
    // their own characters, never as "王?.jpg", where two of them would meet.
    PlaceCase{"RareCharacter", "\xC6\xDF\xC4\xEA\xBC\xB6\xD2\xBB\xB0\xE0\\\xCD\xF5?.jpg", "七年级一班/王䶮.jpg",
              "\xCD\xF5?.jpg", "", "七年级一班\\王䶮.jpg"},
    PlaceCase{"RareCharacterBeyondBmp", "\xC0\xEE?.jpg", "李𡒄.jpg", "\xC0\xEE?.jpg", "", "李𡒄.jpg"},
    PlaceCase{"RareCharacterNoIdNumber", "\xCD\xF5?_1.jpg", "无身份证照片/王䶮_1.jpg", "\xCD\xF5?_1.jpg", "",
              "王䶮_1.jpg"},
    // Names Windows refuses are stored on every PC under one form that reads
    // as the same name; Windows would refuse them, or drop a last dot or
    // blank and file the photo under another student's name.
    PlaceCase{"RefusedCharacter", "\xB0\xE0" "1\\\xC0\xEE|\xCB\xC4.jpg", "班1/李｜四.jpg", "\xC0\xEE|\xCB\xC4.jpg", ""},
    PlaceCase{"EveryRefusedCharacter", "a|b?c*d<e>f\"g.jpg", "a｜b？c＊d＜e＞f＂g.jpg", "a|b?c*d<e>f\"g.jpg", ""},
    PlaceCase{"QuestionMarkOfThePhone", "\xCD\xF5\xCE\xE5?.jpg", "王五？.jpg", "\xCD\xF5\xCE\xE5?.jpg", ""},
    PlaceCase{"ControlCharacter", "a\tb.jpg", "a␉b.jpg", "a\tb.jpg", ""},
    PlaceCase{"RefusedInNoIdName", "a|b_1.jpg", "无身份证照片/a｜b_1.jpg", "a|b_1.jpg", ""},
    PlaceCase{"LastDot", "\xB0\xE0" "3\\x.jpg.", "班3/x.jpg．", "x.jpg.", ""},
    PlaceCase{"LastDots", "x..", "x.．", "x..", ""},
    PlaceCase{"LastBlank", "x ", "x　", "x ", ""},
    PlaceCase{"FolderLastDot", "\xB0\xE0" "2.\\x.jpg", "班2．/x.jpg", "x.jpg", ""},
    PlaceCase{"DeviceName", "\xB0\xE0" "1\\CON.jpg", "班1/ＣＯＮ.jpg", "CON.jpg", ""},
    PlaceCase{"DeviceNameLowerCase", "nul.jpg", "ｎｕｌ.jpg", "nul.jpg", ""},
    PlaceCase{"DeviceNameTwoExtensions", "Aux.tar.gz", "Ａｕｘ.tar.gz", "Aux.tar.gz", ""},
    PlaceCase{"DeviceNameBlankBeforeExtension", "prn .jpg", "ｐｒｎ .jpg", "prn .jpg", ""},
    PlaceCase{"DeviceNameLastDot", "LPT9.", "ＬＰＴ９．", "LPT9.", ""},
    PlaceCase{"DeviceFolder", "COM1\\\xB7\xEB.jpg", "ＣＯＭ１/冯.jpg", "\xB7\xEB.jpg", ""},
    PlaceCase{"DeviceSuperscriptDigit", "COM?.jpg", "ＣＯＭ³.jpg", "COM?.jpg", "", "COM³.jpg"},
    PlaceCase{"NoDeviceLongerWord", "COM10.jpg", "COM10.jpg", "COM10.jpg", ""},
    PlaceCase{"NoDeviceWordInside", "icon.jpg", "icon.jpg", "icon.jpg", ""},
    // Empty levels (a phone building the path from an empty roster field,
    // a leading separator) collapse: the photo stays inside the receive
    // directory instead of being refused and lost.
    PlaceCase{"EmptyLevel", "d\\\\e.jpg", "d/e.jpg", "e.jpg", ""},
    PlaceCase{"EmptyFieldLevel", "3301\\\\\xD5\xC5\xC8\xFD.jpg", "3301/张三.jpg", "\xD5\xC5\xC8\xFD.jpg", ""},
    PlaceCase{"LeadingBackslash", "\\lead.jpg", "lead.jpg", "lead.jpg", ""},
    PlaceCase{"LeadingSlash", "/tmp/x.jpg", "tmp/x.jpg", "/tmp/x.jpg", ""},
    PlaceCase{"UncPath", "\\\\server\\share\\x.jpg", "server/share/x.jpg", "x.jpg", ""},
    PlaceCase{"MixedSeparators", "a\\/b\\\\c.jpg", "a/b/c.jpg", "c.jpg", ""},
    PlaceCase{"EmptyLevelNoId", "\xB0\xE0" "1\\\\a_1.jpg", "无身份证照片/班1/a_1.jpg", "a_1.jpg", "班1"},
    // A name list with folders is still stored under the whole name: its
    // directory part holds the "||".
    PlaceCase{"NameListWithFolders", "\xB0\xE0" "1\\a.jpg||\xB0\xE0" "1\\b.jpg", "班1/a.jpg｜｜班1/b.jpg", "b.jpg", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::string gbkName;
    Status status;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedTable : public testing::TestWithParam<RefusedCase> {};

// Guards against a phone (or anyone on the network) writing outside the
// receive directory: every attempt leaves the whole file system tree around
// it, inside and outside, exactly as it was.
TEST_P(RefusedTable, TouchesNothing)
{
    const RefusedCase& c = GetParam();
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    fs::create_directories(receive / "sub");
    TempTree::write(tree.root() / "outside" / "x.jpg", "KEEP");
    TempTree::write(receive / "x.jpg", "KEEP");
    const auto before = tree.snapshot();
    const StoreResult photo = storePhoto(receive / "", c.gbkName, "EVIL");
    EXPECT_EQ(photo.status, c.status);
    const StoreResult entry = storeListEntry(receive / "", c.gbkName, c.gbkName);
    EXPECT_FALSE(entry.ok());
    EXPECT_EQ(tree.snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedTable, testing::Values(
    RefusedCase{"ParentLevel", "..\\outside\\x.jpg", Status::UnsafeName},
    RefusedCase{"ParentInside", "sub\\..\\..\\outside\\x.jpg", Status::UnsafeName},
    RefusedCase{"ParentWithSlash", "../outside/x.jpg", Status::UnsafeName},
    RefusedCase{"ParentMixed", "sub/..\\..\\outside\\x.jpg", Status::UnsafeName},
    RefusedCase{"ThreeDots", "...\\x.jpg", Status::UnsafeName},
    RefusedCase{"DotsAndBlank", ". .\\x.jpg", Status::UnsafeName},
    RefusedCase{"DriveLetter", "C:\\x.jpg", Status::UnsafeName},
    RefusedCase{"DriveRelative", "C:x.jpg", Status::UnsafeName},
    RefusedCase{"DriveParent", "C:\\..\\x.jpg", Status::UnsafeName},
    RefusedCase{"Stream", "x.jpg:evil", Status::UnsafeName},
    RefusedCase{"CurrentLevel", ".\\x.jpg", Status::UnsafeName},
    RefusedCase{"NulByte", std::string("x.jpg\0../../y", 13), Status::UnsafeName},
    RefusedCase{"NoIdParent", "..\\a_1.jpg", Status::UnsafeName},
    // A lead byte with no trail byte is dropped when the name is converted for
    // the file system: a level made of one turns empty and the path absolute
    // (the first is an input the fuzzer found), one behind dots turns "..".
    RefusedCase{"LoneLeadByteLevel", "\x95/a\x1c\\\x81x.jpg", Status::UnsafeName},
    RefusedCase{"LoneLeadByteFirst", "\x95/tmp/x.jpg", Status::UnsafeName},
    RefusedCase{"ParentBeforeLeadByte", "..\x95/outside/x.jpg", Status::UnsafeName},
    RefusedCase{"DotBlankBeforeLeadByte", ". \xFE/x.jpg", Status::UnsafeName},
    RefusedCase{"Empty", "", Status::NoName},
    RefusedCase{"DirectoryOnly", "sub\\", Status::NoName},
    RefusedCase{"DirectoryOnlySlash", "sub/", Status::NoName},
    RefusedCase{"OnlySeparators", "\\/", Status::NoName}),
    [](const auto& info) { return std::string(info.param.name); });

struct BesideCase {
    const char* name;
    velmora::link::PhotoName photoName;
    bool firstThisRun;  // the first photo of that name was stored in this run, not an earlier one
    bool secondOwnName; // the second came with the name of its own (a retake)
    std::vector<std::string> alreadyThere; // UTF-8, relative: other files, holding "OTHER"
    std::map<std::string, std::string> files; // UTF-8, relative: every file at the end
};

void PrintTo(const BesideCase& c, std::ostream* os) { *os << c.name; }

class BesideTable : public testing::TestWithParam<BesideCase> {};

// Guards against a photo with no name of its own (it took the name of the
// phone's photo before it) replacing the photo stored under that name a
// moment ago, which is lost; against the photo beside it landing in another
// folder, under a name Windows refuses, or over another file; and against a
// retake, or a photo of an earlier day, no longer being replaced.
TEST_P(BesideTable, PhotoWithoutOwnNameNeverReplacesOneOfThisRun)
{
    const BesideCase& c = GetParam();
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    fs::create_directory(receive);
    for (const std::string& other : c.alreadyThere)
        TempTree::write(receive / utf8Path(other), "OTHER");
    velmora::link::StoredThisRun earlierRun, thisRun;
    velmora::link::StoreJob job;
    job.receiveDirectory = receive / "";
    job.name = c.photoName;
    job.photo = "FIRST";
    ASSERT_EQ(store(job, c.firstThisRun ? thisRun : earlierRun).status, Status::Stored);
    job.photo = "SECOND";
    job.besideStored = !c.secondOwnName;
    const StoreResult result = store(job, thisRun);
    EXPECT_EQ(result.status, Status::Stored) << result.detail;
    const std::map<std::string, std::string> files = filesBelow(receive);
    EXPECT_EQ(files, c.files);
    const auto second = std::find_if(files.begin(), files.end(), [](const auto& f) { return f.second == "SECOND"; });
    const std::string secondAt = second == files.end() ? std::string() : second->first;
    // 标签11 shows the file the photo went to.
    EXPECT_TRUE(secondAt.ends_with(result.shownName) && !result.shownName.empty()) << result.shownName;
    const bool firstKept = std::any_of(files.begin(), files.end(), [](const auto& f) { return f.second == "FIRST"; });
    EXPECT_EQ(result.storedBeside, firstKept);
    EXPECT_TRUE(thisRun.count((receive / utf8Path(secondAt)).lexically_normal()));
}

INSTANTIATE_TEST_SUITE_P(Names, BesideTable, testing::Values(
    BesideCase{"RetakeReplaces", PhotoName("a.jpg"), true, true, {}, {{"a.jpg", "SECOND"}}},
    BesideCase{"NoOwnNameGoesBeside", PhotoName("\xB0\xE0" "1\\a.jpg"), true, false, {},
               {{"班1/a.jpg", "FIRST"}, {"班1/a-2.jpg", "SECOND"}}},
    BesideCase{"FirstFreeName", PhotoName("a.jpg"), true, false, {"a-2.jpg", "a-3"},
               {{"a.jpg", "FIRST"}, {"a-2.jpg", "OTHER"}, {"a-3", "OTHER"}, {"a-3.jpg", "SECOND"}}},
    // A photo of an earlier day under the name is replaced as before.
    BesideCase{"EarlierRunReplaced", PhotoName("a.jpg"), false, false, {}, {{"a.jpg", "SECOND"}}},
    BesideCase{"NoIdNumber", PhotoName("\xD1\xA7\xC9\xFA_1.jpg"), true, false, {},
               {{"无身份证照片/学生_1.jpg", "FIRST"}, {"无身份证照片/学生_1-2.jpg", "SECOND"}}},
    BesideCase{"NoExtension", PhotoName("x\\\xD1\xA7\xC9\xFA"), true, false, {},
               {{"x/学生", "FIRST"}, {"x/学生-2", "SECOND"}}},
    BesideCase{"TwoDots", PhotoName("a.b.jpg"), true, false, {},
               {{"a.b.jpg", "FIRST"}, {"a.b-2.jpg", "SECOND"}}},
    // Names Windows refuses keep their stored form beside: never a device
    // name, never a last dot Windows would drop.
    BesideCase{"DeviceName", PhotoName("CON.jpg"), true, false, {},
               {{"ＣＯＮ.jpg", "FIRST"}, {"ＣＯＮ-2.jpg", "SECOND"}}},
    BesideCase{"LastDot", PhotoName("x.jpg."), true, false, {},
               {{"x.jpg．", "FIRST"}, {"x-2.jpg．", "SECOND"}}},
    BesideCase{"RareCharacter", PhotoName("\xCD\xF5?.jpg", "王䶮.jpg"), true, false, {},
               {{"王䶮.jpg", "FIRST"}, {"王䶮-2.jpg", "SECOND"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Replace, never destroy: a new photo replaces an earlier one whole, and a
// write that cannot happen leaves the earlier one as it was.
TEST(PhotoReplace, NewPhotoReplacesTheOldWhole)
{
    TempTree tree;
    TempTree::write(tree.root() / "x.jpg", std::string(1000, 'o'));
    EXPECT_EQ(storePhoto(tree.root(), "x.jpg", "new").status, Status::Stored);
    EXPECT_EQ(TempTree::read(tree.root() / "x.jpg"), "new");
    EXPECT_EQ(tree.snapshot().size(), 1u);
}

TEST(PhotoReplace, FailedWriteKeepsTheOldAndNoTemporaryFile)
{
    TempTree tree;
    // A directory where the photo should go: the rename must fail.
    fs::create_directories(tree.root() / "x.jpg" / "inner");
    TempTree::write(tree.root() / "x.jpg" / "inner" / "old.jpg", "old");
    const auto before = tree.snapshot();
    const StoreResult result = storePhoto(tree.root(), "x.jpg", "new");
    EXPECT_EQ(result.status, Status::WriteFailed);
    EXPECT_FALSE(result.detail.empty());
    EXPECT_EQ(tree.snapshot(), before);
}

TEST(PhotoReplace, EmptyPhotoKeepsTheOld)
{
    TempTree tree;
    TempTree::write(tree.root() / "x.jpg", "old");
    EXPECT_EQ(storePhoto(tree.root(), "x.jpg", "").status, Status::EmptyPhoto);
    EXPECT_EQ(TempTree::read(tree.root() / "x.jpg"), "old");
}

// A receive directory that is gone (an unplugged drive) is reported, not
// made anew somewhere else.
TEST(PhotoReplace, MissingReceiveDirectoryIsNotMade)
{
    TempTree tree;
    const StoreResult result = storePhoto(tree.root() / "gone" / "", "a\\x.jpg", "new");
    EXPECT_EQ(result.status, Status::FolderMissing);
    EXPECT_FALSE(fs::exists(tree.root() / "gone"));
}

// The name list's entries are empty files that must never replace a photo.
TEST(ListEntry, MadeOnlyWhereNothingIs)
{
    TempTree tree;
    TempTree::write(tree.root() / "a" / "b.jpg", "PHOTO");
    // The directory part ("a") is that of the whole photo name.
    EXPECT_EQ(storeListEntry(tree.root(), "a\\b.jpg||c.jpg", "a\\b.jpg").status, Status::AlreadyThere);
    EXPECT_EQ(TempTree::read(tree.root() / "a" / "b.jpg"), "PHOTO");
    EXPECT_EQ(storeListEntry(tree.root(), "a\\b.jpg||c.jpg", "c.jpg").status, Status::Stored);
    EXPECT_TRUE(fs::exists(tree.root() / "c.jpg"));
    EXPECT_EQ(fs::file_size(tree.root() / "c.jpg"), 0u);
    // "_" in the photo name files the entry under 无身份证照片.
    EXPECT_EQ(storeListEntry(tree.root(), "d_1.jpg||e.jpg", "e.jpg").status, Status::Stored);
    EXPECT_TRUE(fs::exists(tree.root() / utf8Path("无身份证照片") / "e.jpg"));
    // Entries of a list with folders go into their own folders, and a device
    // name is an empty file under its stored form, not a write to a device.
    EXPECT_EQ(storeListEntry(tree.root(), "f\\g.jpg||f\\h.jpg", "f\\h.jpg").status, Status::Stored);
    EXPECT_TRUE(fs::is_regular_file(tree.root() / "f" / "h.jpg"));
    EXPECT_EQ(storeListEntry(tree.root(), "con.jpg||prn.jpg", "prn.jpg").status, Status::Stored);
    EXPECT_TRUE(fs::is_regular_file(tree.root() / utf8Path("ｐｒｎ.jpg")));
}

} // namespace
