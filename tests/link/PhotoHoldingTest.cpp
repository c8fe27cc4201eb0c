// Photos held while the receive folder cannot take them: where each photo
// goes by what is held already, what the receive folder and the holding
// folder say (one table, as in PhotoHolding.h), their order and names once
// the folder is back, and what a later run finds of them.

#include "link/PhotoHolding.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using velmora::link::heldFileName;
using velmora::link::HoldingState;
using velmora::link::PhotoHolding;
using velmora::link::PhotoName;
using velmora::link::StoreJob;
using velmora::link::StoreResult;
using velmora::test::TempTree;
using Status = StoreResult::Status;

namespace {

StoreJob photoJob(const fs::path& receive, const std::string& gbkName, const std::string& bytes,
                  std::uint64_t count = 1)
{
    StoreJob job;
    job.count = count;
    job.receiveDirectory = receive;
    job.name = PhotoName(gbkName);
    job.photo = bytes;
    return job;
}

// Regular files under `folder`, relative with "/" in UTF-8, and their bytes.
std::map<std::string, std::string> filesUnder(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            // UTF-8 on every platform: Windows' narrow form is its code page.
            const std::u8string relative = entry.path().lexically_relative(folder).generic_u8string();
            files[std::string(relative.begin(), relative.end())] = TempTree::read(entry.path());
        }
    }
    return files;
}

std::size_t recordsIn(const fs::path& folder)
{
    std::size_t records = 0;
    for (const auto& [name, bytes] : filesUnder(folder))
        records += name.ends_with(".held") ? 1 : 0;
    return records;
}

enum class Receive { Fine, Missing, WriteFails };
enum class Holding { Fine, Refuses };

struct RuleRow {
    const char* name;
    bool heldBefore;       // photo "c\a.jpg" is held already
    Receive receive;       // the receive folder when the new photo comes
    Holding holding;       // the holding folder when the new photo comes
    std::string photoName; // the new photo's name
    std::string photo;     // its bytes
    Status status;         // what becomes of it
    std::map<std::string, std::string> inReceive; // the receive folder's files afterwards
    std::size_t held;      // photos held afterwards
    std::size_t inMemory;  // of them, in memory only
};

void PrintTo(const RuleRow& row, std::ostream* os) { *os << row.name; }

class HoldingRule : public testing::TestWithParam<RuleRow> {};

// Guards against each way a photo was lost while the receive folder was
// away (4 of 7 photos stored, the three in between nowhere), a
// held photo overtaken by a newer one, a name refusal turned into an
// endless hold, and a photo lost when the holding folder fails too.
TEST_P(HoldingRule, PhotoGoesWhereTheTableSays)
{
    const RuleRow& row = GetParam();
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    const fs::path holdingFolder = tree.root() / "held";
    PhotoHolding holding(holdingFolder);
    if (row.heldBefore) {
        StoreJob earlier = photoJob(receive, "c\\a.jpg", "A");
        ASSERT_EQ(holding.keep(earlier, receive).status, Status::Held);
    }
    if (row.receive != Receive::Missing)
        fs::create_directories(receive);
    if (row.receive == Receive::WriteFails)
        TempTree::write(receive / "c", "a file where the class folder goes");
    if (row.holding == Holding::Refuses) {
        // A folder in the place of the new photo's record, or of the holding
        // folder itself: the record cannot be written.
        const std::uint64_t next = row.heldBefore ? 2 : 1;
        fs::create_directories(holdingFolder / heldFileName(next, "b.jpg"));
    }
    StoreJob job = photoJob(receive, row.photoName, row.photo, 2);
    const StoreResult result = holding.keep(job, receive);
    EXPECT_EQ(result.status, row.status) << result.detail;
    EXPECT_EQ(job.photo, row.photo); // still there for the preview
    auto inReceive = filesUnder(receive);
    inReceive.erase("c"); // the obstacle
    EXPECT_EQ(inReceive, row.inReceive);
    const HoldingState state = holding.state();
    EXPECT_EQ(state.held, row.held);
    EXPECT_EQ(state.inMemory, row.inMemory);
    EXPECT_EQ(recordsIn(holdingFolder), row.held - row.inMemory);
    if (row.held > 0) {
        EXPECT_EQ(state.cause, row.receive == Receive::WriteFails ? Status::WriteFailed : Status::FolderMissing);
    }
}

const std::map<std::string, std::string> NONE;

INSTANTIATE_TEST_SUITE_P(Rows, HoldingRule, testing::Values(
    RuleRow{"NoneHeldFolderFine", false, Receive::Fine, Holding::Fine, "c\\b.jpg", "B", Status::Stored,
            {{"c/b.jpg", "B"}}, 0, 0},
    RuleRow{"NoneHeldNameRefused", false, Receive::Fine, Holding::Fine, "..\\b.jpg", "B", Status::UnsafeName,
            NONE, 0, 0},
    RuleRow{"NoneHeldEmptyPhoto", false, Receive::Missing, Holding::Fine, "c\\b.jpg", "", Status::EmptyPhoto,
            NONE, 0, 0},
    RuleRow{"NoneHeldFolderMissing", false, Receive::Missing, Holding::Fine, "c\\b.jpg", "B", Status::Held,
            NONE, 1, 0},
    RuleRow{"NoneHeldWriteFails", false, Receive::WriteFails, Holding::Fine, "c\\b.jpg", "B", Status::Held,
            NONE, 1, 0},
    RuleRow{"NoneHeldHoldingRefuses", false, Receive::Missing, Holding::Refuses, "c\\b.jpg", "B",
            Status::HeldInMemory, NONE, 1, 1},
    // The held photo goes first, then the new one.
    RuleRow{"HeldFolderBack", true, Receive::Fine, Holding::Fine, "c\\b.jpg", "B", Status::Stored,
            {{"c/a.jpg", "A"}, {"c/b.jpg", "B"}}, 0, 0},
    // A newer photo of the held one's name must end up in the file.
    RuleRow{"HeldFolderBackSameName", true, Receive::Fine, Holding::Fine, "c\\a.jpg", "B", Status::Stored,
            {{"c/a.jpg", "B"}}, 0, 0},
    RuleRow{"HeldStillMissing", true, Receive::Missing, Holding::Fine, "c\\b.jpg", "B", Status::Held, NONE, 2, 0},
    RuleRow{"HeldStillFailing", true, Receive::WriteFails, Holding::Fine, "c\\b.jpg", "B", Status::Held,
            NONE, 2, 0},
    RuleRow{"HeldHoldingRefuses", true, Receive::Missing, Holding::Refuses, "c\\b.jpg", "B",
            Status::HeldInMemory, NONE, 2, 1},
    RuleRow{"HeldNameRefused", true, Receive::Missing, Holding::Fine, "..\\b.jpg", "B", Status::UnsafeName,
            NONE, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Guards against held photos of one name overwriting each other in the
// holding folder, and against their order turning round on the way back:
// the newer photo of a name must be the one the receive folder keeps.
TEST(PhotoHolding, SameNameHeldTwiceKeepsBothAndTheirOrder)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    PhotoHolding holding(tree.root() / "held");
    for (const char* bytes : {"first", "second", "third"}) {
        StoreJob job = photoJob(receive, "x.jpg", bytes);
        ASSERT_EQ(holding.keep(job, receive).status, Status::Held);
    }
    EXPECT_EQ(recordsIn(tree.root() / "held"), 3u);
    EXPECT_FALSE(holding.retry(receive)); // still missing: nothing changed
    fs::create_directories(receive);
    EXPECT_TRUE(holding.retry(receive));
    EXPECT_EQ(filesUnder(receive), (std::map<std::string, std::string>{{"x.jpg", "third"}}));
    EXPECT_EQ(filesUnder(tree.root() / "held").size(), 0u);
    EXPECT_EQ(holding.state().written, 3u);
}

// Guards against a newer photo being written before an older one the
// folder cannot take yet: the line waits behind its first photo.
TEST(PhotoHolding, ReleaseStopsAtTheFirstPhotoTheFolderRefuses)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    PhotoHolding holding(tree.root() / "held");
    StoreJob first = photoJob(receive, "c\\a.jpg", "A");
    StoreJob second = photoJob(receive, "d\\b.jpg", "B");
    ASSERT_EQ(holding.keep(first, receive).status, Status::Held);
    ASSERT_EQ(holding.keep(second, receive).status, Status::Held);
    fs::create_directories(receive);
    TempTree::write(receive / "c", "blocks the first photo");
    holding.retry(receive);
    EXPECT_FALSE(fs::exists(receive / "d"));
    EXPECT_EQ(holding.state().held, 2u);
    EXPECT_EQ(holding.state().cause, Status::WriteFailed);
    fs::remove(receive / "c");
    holding.retry(receive);
    EXPECT_EQ(filesUnder(receive), (std::map<std::string, std::string>{{"c/a.jpg", "A"}, {"d/b.jpg", "B"}}));
    HoldingState done;
    done.written = 2;
    EXPECT_EQ(holding.state(), done);
}

// Guards against photos kept in memory staying there (lost at the end of
// the program) once the holding folder takes writes again, and against them
// losing their place in the line.
TEST(PhotoHolding, PhotosInMemoryGoToTheDiskThenToTheFolder)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    const fs::path held = tree.root() / "held";
    PhotoHolding holding(held);
    StoreJob first = photoJob(receive, "a.jpg", "A");
    ASSERT_EQ(holding.keep(first, receive).status, Status::Held);
    fs::create_directories(held / heldFileName(2, "a.jpg"));
    StoreJob second = photoJob(receive, "a.jpg", "B");
    ASSERT_EQ(holding.keep(second, receive).status, Status::HeldInMemory);
    EXPECT_EQ(holding.memoryBytes(), 1u);
    EXPECT_FALSE(holding.state().holdingFailure.empty());
    fs::remove(held / heldFileName(2, "a.jpg"));
    EXPECT_TRUE(holding.retry(receive));
    EXPECT_EQ(holding.state().inMemory, 0u);
    EXPECT_EQ(recordsIn(held), 2u);
    fs::create_directories(receive);
    holding.retry(receive);
    EXPECT_EQ(filesUnder(receive), (std::map<std::string, std::string>{{"a.jpg", "B"}}));
}

// Guards against held photos lost with the program (killed, crashed, the
// power cut while the stick was out): a later run finds them, with their
// names whole (rare characters and line breaks included), and writes them
// in their order, behind nothing of its own.
TEST(PhotoHolding, LaterRunFindsAndWritesThem)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    const fs::path held = tree.root() / "held";
    const PhotoName rare("\xCD\xF5?.jpg", "王䶮.jpg"); // GBK lacks 䶮
    {
        PhotoHolding holding(held);
        StoreJob job = photoJob(receive, "", "RARE", 7);
        job.name = rare;
        ASSERT_EQ(holding.keep(job, receive).status, Status::Held);
        StoreJob odd = photoJob(receive, "line\nbreak.jpg", "ODD", 8);
        ASSERT_EQ(holding.keep(odd, receive).status, Status::Held);
        StoreJob same = photoJob(receive, "line\nbreak.jpg", "NEWER", 9);
        ASSERT_EQ(holding.keep(same, receive).status, Status::Held);
    }
    PhotoHolding later(held);
    fs::create_directories(receive);
    StoreJob next = photoJob(receive, "next.jpg", "NEXT", 1);
    EXPECT_EQ(later.keep(next, receive).status, Status::Stored);
    EXPECT_EQ(filesUnder(receive), (std::map<std::string, std::string>{
                                       {"王䶮.jpg", "RARE"}, {"line␊break.jpg", "NEWER"}, {"next.jpg", "NEXT"}}));
    const HoldingState state = later.state();
    EXPECT_EQ(state.earlierRun, 3u);
    EXPECT_EQ(state.earlierRunWritten, 3u);
    EXPECT_EQ(filesUnder(held).size(), 0u);
}

// Guards against the program destroying what it cannot read in the holding
// folder (a record cut short by a disk fault, a file staff put there): it is
// left where it is, and the records beside it are written as usual.
TEST(PhotoHolding, UnreadableRecordsAreLeftAlone)
{
    TempTree tree;
    const fs::path receive = tree.root() / "recv";
    const fs::path held = tree.root() / "held";
    {
        PhotoHolding holding(held);
        StoreJob job = photoJob(receive, "good.jpg", "GOOD");
        ASSERT_EQ(holding.keep(job, receive).status, Status::Held);
    }
    const std::string good = TempTree::read(held / heldFileName(1, "good.jpg"));
    TempTree::write(held / heldFileName(5, "cut.jpg"), good.substr(0, good.size() - 1));
    TempTree::write(held / heldFileName(6, "noise.jpg"), "not a record\n\nat all");
    TempTree::write(held / "notes.txt", "staff notes");
    const auto before = filesUnder(held);
    PhotoHolding later(held);
    fs::create_directories(receive);
    later.retry(receive);
    EXPECT_EQ(filesUnder(receive), (std::map<std::string, std::string>{{"good.jpg", "GOOD"}}));
    auto left = before;
    left.erase(heldFileName(1, "good.jpg"));
    EXPECT_EQ(filesUnder(held), left);
    EXPECT_EQ(later.state().held, 0u);
    bool logged = false;
    for (const std::string& line : later.takeLog())
        logged = logged || line.find("cut.jpg") != std::string::npos;
    EXPECT_TRUE(logged);
}

} // namespace
