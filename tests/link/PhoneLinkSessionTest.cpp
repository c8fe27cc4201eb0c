// The shared phone-link state: photos counted and stored under the current
// name, the count restarting with each phone, and the name list worked off
// without ever replacing a stored photo.

#include "link/PhoneLinkSession.h"

#include "TempTree.h"

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

} // namespace
