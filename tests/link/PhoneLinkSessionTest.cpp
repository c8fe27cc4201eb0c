// The shared phone-link state: photos counted and stored under the current
// name, the count restarting with each phone, and the name list worked off
// without ever replacing a stored photo.

#include "link/PhoneLinkSession.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using velmora::link::PhoneLinkSession;
using velmora::link::StoreResult;
using velmora::test::TempTree;

namespace {

const std::string MARKER("\x02\x02\x02\x02", 4);

std::uint64_t sendPhoto(PhoneLinkSession& session, const fs::path& receive, const std::string& bytes)
{
    session.takePhotoPiece("HDR!" + bytes, receive);
    const auto result = session.takePhotoPiece(MARKER, receive);
    EXPECT_EQ(result.photos.size(), 1u);
    return result.photos.empty() ? 0 : result.photos.back().count;
}

// Guards against a second photo under one name being kept beside the first
// or the count going up for only one, and against a reconnect keeping the
// old count.
TEST(PhoneLinkSession, CountsStoresAndRestartsWithEachPhone)
{
    TempTree tree;
    PhoneLinkSession session;
    session.rememberPhone("127.0.0.1:1000");
    session.takeCommandPiece("STAT||x.jpg", tree.root());
    EXPECT_EQ(sendPhoto(session, tree.root(), "first"), 1u);
    EXPECT_EQ(sendPhoto(session, tree.root(), "second"), 2u);
    EXPECT_EQ(TempTree::read(tree.root() / "x.jpg"), "second");
    session.rememberPhone("127.0.0.1:1001");
    EXPECT_EQ(session.phoneAddress(), "127.0.0.1:1001");
    EXPECT_EQ(session.photoCount(), 0u);
    EXPECT_EQ(sendPhoto(session, tree.root(), "third"), 1u);
}

// A photo before any name message is counted but stored nowhere.
TEST(PhoneLinkSession, PhotoWithoutNameIsCountedNotStored)
{
    TempTree tree;
    PhoneLinkSession session;
    session.takePhotoPiece("HDR!bytes", tree.root());
    const auto result = session.takePhotoPiece(MARKER, tree.root());
    ASSERT_EQ(result.photos.size(), 1u);
    EXPECT_EQ(result.photos[0].count, 1u);
    EXPECT_EQ(result.photos[0].photo, "bytes");
    EXPECT_EQ(result.photos[0].store.status, StoreResult::Status::NoName);
    EXPECT_TRUE(tree.snapshot().empty());
}

// The name list of "a.jpg||b.jpg": entry n is made when a piece without a
// name message comes after the n-th photo, never over a stored file, and
// the list is let go once the count reaches its length.
TEST(PhoneLinkSession, NameListWorkedOffByCount)
{
    TempTree tree;
    const fs::path receive = tree.root();
    PhoneLinkSession session;
    session.takeCommandPiece("STAT||a.jpg||b.jpg", receive);
    ASSERT_EQ(session.commandChannel().nameList().size(), 2u);

    // n = 0: nothing to make.
    auto result = session.takeCommandPiece("z", receive);
    EXPECT_FALSE(result.listEntry.has_value());
    EXPECT_TRUE(tree.snapshot().empty());

    TempTree::write(receive / "a.jpg", "PHOTO-A");
    sendPhoto(session, receive, "whole");
    result = session.takeCommandPiece("z", receive);
    ASSERT_TRUE(result.listEntry.has_value());
    EXPECT_EQ(result.listEntry->status, StoreResult::Status::AlreadyThere);
    EXPECT_EQ(TempTree::read(receive / "a.jpg"), "PHOTO-A");
    EXPECT_EQ(session.commandChannel().nameList().size(), 2u);

    sendPhoto(session, receive, "whole");
    result = session.takeCommandPiece("z", receive);
    ASSERT_TRUE(result.listEntry.has_value());
    EXPECT_EQ(result.listEntry->status, StoreResult::Status::Stored);
    EXPECT_EQ(fs::file_size(receive / "b.jpg"), 0u);
    EXPECT_TRUE(session.commandChannel().nameList().empty());

    // The list is gone: a third photo and a stray piece make nothing more.
    const auto before = tree.snapshot();
    sendPhoto(session, receive, "whole");
    EXPECT_FALSE(session.takeCommandPiece("z", receive).listEntry.has_value());
    auto after = tree.snapshot();
    EXPECT_EQ(after, before);
}

// Guards against two photo connections mixing their bytes: phones sending at
// once, slice by slice, each have their own photo stored whole.
TEST(PhoneLinkSession, PhotoConnectionsKeepTheirOwnTransfers)
{
    TempTree tree;
    PhoneLinkSession session;
    session.takePhotoPiece("a", "HDR!first-", tree.root());
    session.takePhotoPiece("b", "HDR!second-", tree.root());
    session.takePhotoPiece("a", "photo", tree.root());
    session.takePhotoPiece("b", "photo", tree.root());
    const auto fromB = session.takePhotoPiece("b", MARKER, tree.root());
    const auto fromA = session.takePhotoPiece("a", MARKER, tree.root());
    ASSERT_EQ(fromB.photos.size(), 1u);
    ASSERT_EQ(fromA.photos.size(), 1u);
    EXPECT_EQ(fromB.photos[0].photo, "second-photo");
    EXPECT_EQ(fromA.photos[0].photo, "first-photo");
    EXPECT_EQ(fromA.photos[0].count, 2u);
}

// Guards against the half photo of a closed connection being glued in front
// of the next photo, and against its bytes being held for good. Rows: the
// transfer cut in the photo, and cut after a merged marker began the next.
TEST(PhoneLinkSession, ClosedPhotoConnectionLetsItsTransferGo)
{
    const struct {
        const char* name;
        std::string sent;
        std::size_t photosBeforeClose;
    } rows[] = {
        {"cut in the photo", "HDR!\xFF\xD8half", 0},
        {"cut after a merged marker", "HDR!\xFF\xD8x\xFF\xD9" + MARKER + "HDR!\xFF\xD8next", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree tree;
        PhoneLinkSession session;
        const auto first = session.takePhotoPiece("lost", row.sent, tree.root());
        EXPECT_EQ(first.photos.size(), row.photosBeforeClose);
        EXPECT_GT(session.forgetPhotoConnection("lost"), 0u);
        EXPECT_EQ(session.photoStats().bufferedBytes, 0u);
        EXPECT_EQ(session.forgetPhotoConnection("lost"), 0u);
        session.takePhotoPiece("again", "HDR!whole", tree.root());
        const auto result = session.takePhotoPiece("again", MARKER, tree.root());
        ASSERT_EQ(result.photos.size(), 1u);
        EXPECT_EQ(result.photos[0].photo, "whole");
        EXPECT_EQ(session.photoStats().droppedTransfers, 1u);
    }
}

// Guards against many connections together holding many times the photo
// limit: the connection whose piece passes the shared limit has its
// transfer dropped up to its marker, and the other keeps its photo.
TEST(PhoneLinkSession, PhotoLimitHoldsForAllConnectionsTogether)
{
    TempTree tree;
    PhoneLinkSession session(PhoneLinkSession::Limits{64, 100});
    session.takePhotoPiece("a", "HDR!" + std::string(60, 'a'), tree.root());
    const auto over = session.takePhotoPiece("b", "HDR!" + std::string(60, 'b'), tree.root());
    EXPECT_TRUE(over.transferDropped);
    EXPECT_LE(session.photoStats().bufferedBytes, 100u);
    EXPECT_TRUE(session.takePhotoPiece("b", MARKER, tree.root()).photos.empty());
    const auto kept = session.takePhotoPiece("a", MARKER, tree.root());
    ASSERT_EQ(kept.photos.size(), 1u);
    EXPECT_EQ(kept.photos[0].photo, std::string(60, 'a'));
}

// Guards against the cut-off name of a closed command connection standing in
// front of the next name message; bytes that came last from another, still
// open connection are kept, as a name may come in several pieces.
TEST(PhoneLinkSession, ClosedCommandConnectionLetsItsNameGo)
{
    TempTree tree;
    PhoneLinkSession session;
    session.takeCommandPiece("lost", "class1\\ha", tree.root());
    EXPECT_EQ(session.forgetCommandConnection("other"), 0u);
    EXPECT_EQ(session.forgetCommandConnection("lost"), 9u);
    session.takeCommandPiece("phone", "whole.jpgSTAT||", tree.root());
    EXPECT_EQ(session.commandChannel().currentPhotoName(), "whole.jpg");

    session.takeCommandPiece("lost", "noise", tree.root());
    session.takeCommandPiece("phone", "next", tree.root());
    EXPECT_EQ(session.forgetCommandConnection("lost"), 0u);
    session.takeCommandPiece("phone", ".jpgSTAT||", tree.root());
    EXPECT_EQ(session.commandChannel().currentPhotoName(), "noisenext.jpg");
}

} // namespace
