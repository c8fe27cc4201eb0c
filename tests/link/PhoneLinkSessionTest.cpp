// The shared phone-link state: photos counted and filed under the name bound
// to their transfer, the count restarting with each phone, and the name list
// worked off without ever replacing a stored photo.

#include "link/PhoneLinkSession.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace fs = std::filesystem;
using velmora::link::PhoneLinkSession;
using velmora::link::StoreJob;
using velmora::link::StoreResult;
using velmora::test::TempTree;

namespace {

const std::string MARKER("\x02\x02\x02\x02", 4);

struct Written {
    std::vector<velmora::link::StoreJob> photos; // with their results below
    std::vector<StoreResult> stores;
    std::vector<StoreResult> listEntries;
};

// Settles the session and writes its jobs as the photo writer does, noting
// the photos stored in `run`.
Written write(PhoneLinkSession& session, velmora::link::StoredThisRun& run)
{
    Written out;
    for (StoreJob& job : session.settle()) {
        const StoreResult result = velmora::link::store(job, run);
        if (job.kind == StoreJob::Kind::ListEntry) {
            out.listEntries.push_back(result);
        } else {
            out.photos.push_back(std::move(job));
            out.stores.push_back(result);
        }
    }
    return out;
}

Written write(PhoneLinkSession& session)
{
    velmora::link::StoredThisRun run;
    return write(session, run);
}

std::uint64_t sendPhoto(PhoneLinkSession& session, const fs::path& receive, const std::string& bytes,
                        velmora::link::StoredThisRun& run)
{
    session.takePhotoPiece("HDR!" + bytes, receive);
    session.takePhotoPiece(MARKER, receive);
    const Written written = write(session, run);
    EXPECT_EQ(written.photos.size(), 1u);
    return written.photos.empty() ? 0 : written.photos.back().count;
}

std::uint64_t sendPhoto(PhoneLinkSession& session, const fs::path& receive, const std::string& bytes)
{
    velmora::link::StoredThisRun run;
    return sendPhoto(session, receive, bytes, run);
}

// One event as it reaches the PC: a name message, photo bytes (the first
// bytes of a transfer, its end marker) or a photo connection that closes.
struct Event {
    char kind;        // 'n': name message, 'p': photo piece, 'x': photo connection closed
    std::string bytes;
    long long at;     // milliseconds
    bool sameRound = false; // read in one round with the next event
    // "address:port"; names come from port 9 unless said otherwise
    std::string connection = "phone";
};

// A photo as it is filed: its bytes, its name, and whether it took the name
// of the photo before it, with none of its own (then it is stored beside a
// photo of that name stored in this run, never over it).
struct Filed {
    std::string photo;
    std::string name;
    bool beside = false;
    bool operator==(const Filed&) const = default;
};

void PrintTo(const Filed& filed, std::ostream* os)
{
    *os << '{' << filed.photo << " -> " << filed.name << (filed.beside ? ", beside" : "") << '}';
}

// A phone photographing students 1 to `count` with `pauseMs` between one
// photo's end and the next student's name: photo Pk's first bytes 5 ms after
// name k, more of it 300 ms later and its end marker 700 ms after its first
// bytes (photos of 2-5 MB at 8 MB/s). The names in `lateMs` reach the PC that
// long after their photos' first bytes instead (a lost segment of the small
// name message sent again after a retransmission timeout), still before the
// photo's end.
std::vector<Event> students(int count, long long pauseMs, const std::map<int, long long>& lateMs)
{
    std::vector<Event> events;
    long long at = 0;
    for (int k = 1; k <= count; ++k) {
        const std::string number = std::to_string(k);
        const auto late = lateMs.find(k);
        events.push_back({'n', "STAT||" + number, late == lateMs.end() ? at : at + 5 + late->second});
        events.push_back({'p', "HDR!P" + number, at + 5});
        events.push_back({'p', "-", at + 305});
        events.push_back({'p', MARKER, at + 705});
        at += 705 + pauseMs;
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
    return events;
}

std::vector<Filed> eachUnderItsOwnName(int count)
{
    std::vector<Filed> filed;
    for (int k = 1; k <= count; ++k)
        filed.push_back({"P" + std::to_string(k) + "-", std::to_string(k)});
    return filed;
}

// Which name each photo takes, for event sequences as they reach the PC:
// name messages, photo bytes (the first bytes of a transfer, its end
// marker, connections that close), the time between them and the phone
// they come from. Guards against a photo on the air being filed under the
// name the phone sent after it, against a cancelled shot's name being given
// to the next photo, against a resent or a stalled photo shifting every later
// name, against two phones taking each other's names, against a name held
// back on the air (a retransmission) filing its photo under the previous
// student's name, and against a photo with no name of its own replacing
// the photo whose name it took.
TEST(PhoneLinkSession, NamesBindToTransfers)
{
    const std::string A = "HDR!\xFF\xD8" "A\xFF\xD9", B = "HDR!\xFF\xD8" "B\xFF\xD9";
    const struct {
        const char* name;
        std::vector<Event> events;
        std::vector<Filed> stored;
    } rows[] = {
        {"calm: a, A, b, B",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'p', MARKER, 110},
          {'n', "STAT||b", 1000}, {'p', "HDR!B", 1100}, {'p', MARKER, 1110}},
         {{"A", "a"}, {"B", "b"}}},
        {"b arrives while A is on the air",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'n', "STAT||b", 150}, {'p', MARKER, 200},
          {'p', "HDR!B", 210}, {'p', MARKER, 220}},
         {{"A", "a"}, {"B", "b"}}},
        {"b and c both arrive while A is on the air",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'n', "STAT||b", 150}, {'n', "STAT||c", 160},
          {'p', MARKER, 200}, {'p', "HDR!B", 210}, {'p', MARKER, 220}, {'p', "HDR!C", 230}, {'p', MARKER, 240}},
         {{"A", "a"}, {"B", "b"}, {"C", "c"}}},
        {"a late name: A began with no new name",
         {{'n', "STAT||z", 0}, {'p', "HDR!Z", 100}, {'p', MARKER, 110},
          {'p', "HDR!A", 2000}, {'n', "STAT||a", 2050}, {'p', MARKER, 2100}},
         {{"Z", "z"}, {"A", "a"}}},
        {"a late name read in the round that began and ended the photo",
         {{'n', "STAT||z", 0}, {'p', "HDR!Z", 100}, {'p', MARKER, 110},
          {'p', B + MARKER, 2000, true}, {'n', "STAT||b", 2000}},
         {{"Z", "z"}, {"\xFF\xD8" "B\xFF\xD9", "b"}}},
        {"a late name read a round after the whole photo",
         {{'n', "STAT||z", 0}, {'p', "HDR!Z", 100}, {'p', MARKER, 110},
          {'p', B + MARKER + A, 2000}, {'n', "STAT||bSTAT||a", 2010}, {'p', MARKER, 2020}},
         {{"Z", "z"}, {"\xFF\xD8" "B\xFF\xD9", "b"}, {"\xFF\xD8" "A\xFF\xD9", "a"}}},
        {"two photos after one name",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'p', MARKER, 110}, {'p', "HDR!A2", 120}, {'p', MARKER, 130}},
         {{"A", "a"}, {"A2", "a", true}}},
        {"two names while no photo arrives: the latest counts",
         {{'n', "STAT||a", 0}, {'n', "STAT||b", 10}, {'p', "HDR!A", 100}, {'p', MARKER, 110}},
         {{"A", "b"}}},
        {"two name messages in one piece during a photo",
         {{'n', "STAT||x", 0}, {'p', "HDR!X", 100}, {'n', "STAT||aSTAT||STAT||b", 150}, {'p', MARKER, 200},
          {'p', A + MARKER + B + MARKER, 210}},
         {{"X", "x"}, {"\xFF\xD8" "A\xFF\xD9", "a"}, {"\xFF\xD8" "B\xFF\xD9", "b"}}},
        {"a photo with no name message ever",
         {{'p', "HDR!A", 0}, {'p', MARKER, 10}},
         {{"A", ""}}},
        {"a cancelled shot's name is dropped after a quiet pause",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'n', "STAT||b", 150}, {'p', MARKER, 200},
          {'n', "STAT||c", 5000}, {'p', "HDR!C", 5100}, {'p', MARKER, 5110}},
         {{"A", "a"}, {"C", "c"}}},
        {"a shot cancelled while a photo is on the air, the next photo after a pause read before its name",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'n', "STAT||b", 150}, {'p', MARKER, 200},
          {'p', "HDR!C", 2000}, {'n', "STAT||c", 2005}, {'p', MARKER, 2100}},
         {{"A", "a"}, {"C", "c"}}},
        {"a name right after the photo's end waits for the next photo",
         {{'n', "STAT||a", 0}, {'p', "HDR!A", 100}, {'p', MARKER, 200}, {'n', "STAT||b", 250},
          {'p', "HDR!B", 300}, {'p', MARKER, 310}},
         {{"A", "a"}, {"B", "b"}}},
        {"eight students a second apart, the names of photos 3, 5, 6 and 8 200 to 600 ms late",
         students(8, 1000, {{3, 200}, {5, 250}, {6, 400}, {8, 600}}),
         eachUnderItsOwnName(8)},
        {"six students with no pause, every name 300 ms late",
         students(6, 5, {{1, 300}, {2, 300}, {3, 300}, {4, 300}, {5, 300}, {6, 300}}),
         eachUnderItsOwnName(6)},
        {"a name long after a photo with no new name began is its name while it is on the air",
         {{'n', "STAT||z", 0}, {'p', "HDR!Z", 100}, {'p', MARKER, 110},
          {'p', "HDR!A", 2000}, {'n', "STAT||b", 2800}, {'p', MARKER, 3000}, {'p', "HDR!B", 3010}, {'p', MARKER, 3020}},
         {{"Z", "z"}, {"A", "b"}, {"B", "b", true}}},
        {"a name held back past its photo's end: the photo goes beside, the name waits for the next",
         {{'n', "STAT||z", 0}, {'p', "HDR!Z", 100}, {'p', MARKER, 110},
          {'p', "HDR!A", 2000}, {'p', MARKER, 2100}, {'n', "STAT||a", 2200}, {'p', "HDR!B", 2210},
          {'p', MARKER, 2220}},
         {{"Z", "z"}, {"A", "z", true}, {"B", "a"}}},
        {"a photo with no new name cut off and sent again has still no name of its own",
         {{'n', "STAT||z", 0, false, "p:9"}, {'p', "HDR!Z", 100, false, "p:1"}, {'p', MARKER, 110, false, "p:1"},
          {'p', "HDR!A", 2000, false, "p:1"}, {'x', "", 2400, false, "p:1"}, {'p', "HDR!A", 2500, false, "p:2"},
          {'n', "STAT||b", 2505, false, "p:9"}, {'p', MARKER, 3000, false, "p:2"},
          {'p', "HDR!B", 3010, false, "p:2"}, {'p', MARKER, 3020, false, "p:2"}},
         {{"Z", "z"}, {"A", "z", true}, {"B", "b"}}},
        {"a photo cut off and sent again on a new connection keeps its name",
         {{'n', "STAT||a", 0, false, "p:9"}, {'p', "HDR!A", 100, false, "p:1"}, {'x', "", 500, false, "p:1"},
          {'p', "HDR!A", 600, false, "p:2"}, {'n', "STAT||b", 605, false, "p:9"}, {'p', MARKER, 1400, false, "p:2"},
          {'p', "HDR!B", 1410, false, "p:2"}, {'n', "STAT||c", 1415, false, "p:9"}, {'p', MARKER, 2200, false, "p:2"},
          {'p', "HDR!C", 2210, false, "p:2"}, {'p', MARKER, 3000, false, "p:2"}},
         {{"A", "a"}, {"B", "b"}, {"C", "c"}}},
        {"a photo cut off, the phone goes on with the next photo read before its name",
         {{'n', "STAT||a", 0, false, "p:9"}, {'p', "HDR!A", 100, false, "p:1"}, {'x', "", 500, false, "p:1"},
          {'p', "HDR!B", 600, false, "p:2"}, {'n', "STAT||b", 605, false, "p:9"}, {'p', MARKER, 1400, false, "p:2"}},
         {{"B", "b"}}},
        {"photos read before their names, one cut off and sent again on a new connection",
         {{'p', "HDR!\xFF\xD8" "P1\xFF\xD9" + MARKER + "HDR!P2", 100, false, "p:1"},
          {'p', "HDR!P2", 101, false, "p:2"}, {'n', "STAT||1STAT||2", 102, false, "p:9"},
          {'p', MARKER, 110, false, "p:2"}, {'n', "STAT||3", 120, false, "p:9"}, {'p', "HDR!P3", 130, false, "p:2"},
          {'p', MARKER, 140, false, "p:2"}},
         {{"\xFF\xD8" "P1\xFF\xD9", "1"}, {"P2", "2"}, {"P3", "3"}}},
        {"photos read before their names, one left silent, the phone going on on a new connection",
         {{'p', "HDR!\xFF\xD8" "P1\xFF\xD9" + MARKER + "HDR!P2", 100, false, "p:1"},
          {'p', "HDR!\xFF\xD8" "P3\xFF\xD9" + MARKER, 101, false, "p:2"},
          {'n', "STAT||1STAT||2STAT||3", 102, false, "p:9"}},
         {{"\xFF\xD8" "P1\xFF\xD9", "1"}, {"\xFF\xD8" "P3\xFF\xD9", "3"}}},
        {"a photo connection silent mid-photo, the phone back on a new one after seconds",
         {{'n', "STAT||0", 0, false, "p:9"}, {'p', "HDR!P0", 100, false, "p:1"},
          {'n', "STAT||1", 5000, false, "p:9"}, {'p', "HDR!P1", 5100, false, "p:2"}, {'p', MARKER, 5110, false, "p:2"},
          {'n', "STAT||2", 6000, false, "p:9"}, {'n', "STAT||3", 7500, false, "p:9"},
          {'p', "HDR!P3", 7600, false, "p:2"}, {'p', MARKER, 7610, false, "p:2"},
          {'n', "STAT||4", 8000, false, "p:9"}, {'p', "HDR!P4", 8100, false, "p:2"}, {'p', MARKER, 8110, false, "p:2"}},
         {{"P1", "1"}, {"P3", "3"}, {"P4", "4"}}},
        {"two phones interleave their names and photos",
         {{'n', "STAT||x1", 0, false, "X:9"}, {'n', "STAT||y1", 10, false, "Y:9"},
          {'p', "HDR!Y1", 100, false, "Y:1"}, {'p', MARKER, 110, false, "Y:1"},
          {'p', "HDR!X1", 120, false, "X:1"}, {'p', MARKER, 130, false, "X:1"},
          {'n', "STAT||x2", 1000, false, "X:9"}, {'n', "STAT||y2", 1010, false, "Y:9"},
          {'p', "HDR!Y2", 1100, false, "Y:1"}, {'n', "STAT||y3", 1105, false, "Y:9"}, {'p', MARKER, 1110, false, "Y:1"},
          {'p', "HDR!X2", 1120, false, "X:1"}, {'p', MARKER, 1130, false, "X:1"},
          {'p', "HDR!Y3", 1140, false, "Y:1"}, {'p', MARKER, 1150, false, "Y:1"}},
         {{"Y1", "y1"}, {"X1", "x1"}, {"Y2", "y2"}, {"X2", "x2"}, {"Y3", "y3"}}},
        {"a new photo connection lets the phone's open transfer go",
         {{'n', "STAT||a", 0, false, "p:9"}, {'p', "HDR!half", 100, false, "p:1"},
          {'n', "STAT||b", 1000, false, "p:9"}, {'p', "HDR!B", 1100, false, "p:2"}, {'p', MARKER, 1110, false, "p:2"},
          {'p', "rest", 1200, false, "p:1"}, {'p', MARKER, 1210, false, "p:1"}},
         {{"B", "b"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PhoneLinkSession session;
        std::vector<Filed> stored;
        const auto file = [&](const StoreJob& job) { stored.push_back({job.photo, job.name.gbk, job.besideStored}); };
        for (const Event& event : row.events) {
            if (event.kind == 'n')
                session.takeCommandPiece(event.connection, event.bytes, "/nowhere", event.at);
            else if (event.kind == 'x')
                session.forgetPhotoConnection(event.connection);
            else
                session.takePhotoPiece(event.connection, event.bytes, "/nowhere", event.at);
            if (event.sameRound)
                continue;
            for (const StoreJob& job : session.settle(event.at))
                file(job);
        }
        for (const StoreJob& job : session.settle())
            file(job);
        EXPECT_EQ(stored, row.stored);
    }
}

// Guards against the names of a phone that writes a class's names ahead of
// its photos (photos cropped to 30-60 KB, or queued while out of reach) being
// let go, each photo then taking another student's name; and against a
// device on the LAN filling memory with name messages while a photo of its
// own is on the air: names beyond the byte bound are let go.
TEST(PhoneLinkSession, NamesWaitingPerPhoneAreBoundedInBytes)
{
    using velmora::link::PhotoName;
    using velmora::link::PhotoNaming;
    const struct {
        const char* name;
        std::size_t nameBytes; // each name as the phone sends it
        int names;
        bool allKept;
    } rows[] = {
        {"a class's backlog of 100 names", 20, 100, true},
        {"a flood of long names", 30000, 100, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PhoneLinkSession session;
        session.takeCommandPiece("p:9", "STAT||a", "/nowhere", 0);
        session.takePhotoPiece("p:1", "HDR!A", "/nowhere", 10);
        std::vector<std::string> sent;
        std::size_t refused = 0;
        for (int i = 0; i < row.names; ++i) {
            std::string name = "n" + std::to_string(i);
            name.resize(row.nameBytes, 'x');
            sent.push_back(name);
            refused += session.takeCommandPiece("p:9", "STAT||" + name, "/nowhere", 20).namesRefused.size();
        }
        const std::size_t kept = session.naming().namesWaiting();
        EXPECT_EQ(kept + refused, static_cast<std::size_t>(row.names));
        const std::size_t weight = PhotoNaming::waitingBytes(PhotoName(sent.front()));
        EXPECT_LE(kept * weight, PhotoNaming::WAITING_BYTES_LIMIT);
        if (!row.allKept) {
            EXPECT_GT((kept + 1) * weight, PhotoNaming::WAITING_BYTES_LIMIT);
            continue;
        }
        EXPECT_EQ(refused, 0u);
        // Each photo that follows takes its own name, in the order sent.
        session.takePhotoPiece("p:1", MARKER, "/nowhere", 30);
        std::vector<std::string> filed;
        for (int i = 0; i < row.names; ++i) {
            session.takePhotoPiece("p:1", "HDR!P" + std::to_string(i), "/nowhere", 40 + i);
            session.takePhotoPiece("p:1", MARKER, "/nowhere", 40 + i);
        }
        for (const StoreJob& job : session.settle())
            filed.push_back(job.name.gbk);
        ASSERT_EQ(filed.size(), sent.size() + 1);
        EXPECT_EQ(filed.front(), "a");
        EXPECT_EQ(std::vector<std::string>(filed.begin() + 1, filed.end()), sent);
    }
}

// Guards against a second photo after one name replacing the first (it has
// no name of its own: it goes beside), against the count going up for only
// one, against a reconnect keeping the old count, and against a retake (the
// name sent again) no longer replacing the photo.
TEST(PhoneLinkSession, CountsStoresAndRestartsWithEachPhone)
{
    TempTree tree;
    velmora::link::StoredThisRun run;
    PhoneLinkSession session;
    session.rememberPhone("127.0.0.1:1000");
    session.takeCommandPiece("STAT||x.jpg", tree.root());
    EXPECT_EQ(sendPhoto(session, tree.root(), "first", run), 1u);
    EXPECT_EQ(sendPhoto(session, tree.root(), "second", run), 2u);
    EXPECT_EQ(TempTree::read(tree.root() / "x.jpg"), "first");
    EXPECT_EQ(TempTree::read(tree.root() / "x-2.jpg"), "second");
    session.rememberPhone("127.0.0.1:1001");
    EXPECT_EQ(session.phoneAddress(), "127.0.0.1:1001");
    EXPECT_EQ(session.photoCount(), 0u);
    session.takeCommandPiece("STAT||x.jpg", tree.root(), 5000);
    EXPECT_EQ(sendPhoto(session, tree.root(), "retake", run), 1u);
    EXPECT_EQ(TempTree::read(tree.root() / "x.jpg"), "retake");
    EXPECT_EQ(tree.snapshot().size(), 2u);
}

// A photo before any name message is counted but stored nowhere.
TEST(PhoneLinkSession, PhotoWithoutNameIsCountedNotStored)
{
    TempTree tree;
    PhoneLinkSession session;
    session.takePhotoPiece("HDR!bytes", tree.root());
    EXPECT_EQ(session.takePhotoPiece(MARKER, tree.root()).counted, std::vector<std::uint64_t>{1});
    const Written written = write(session);
    ASSERT_EQ(written.photos.size(), 1u);
    EXPECT_EQ(written.photos[0].count, 1u);
    EXPECT_EQ(written.photos[0].photo, "bytes");
    EXPECT_EQ(written.stores[0].status, StoreResult::Status::NoName);
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
    EXPECT_FALSE(session.takeCommandPiece("z", receive).listEntry);
    EXPECT_TRUE(write(session).listEntries.empty());
    EXPECT_TRUE(tree.snapshot().empty());

    TempTree::write(receive / "a.jpg", "PHOTO-A");
    sendPhoto(session, receive, "whole");
    EXPECT_TRUE(session.takeCommandPiece("z", receive).listEntry);
    Written written = write(session);
    ASSERT_EQ(written.listEntries.size(), 1u);
    EXPECT_EQ(written.listEntries[0].status, StoreResult::Status::AlreadyThere);
    EXPECT_EQ(TempTree::read(receive / "a.jpg"), "PHOTO-A");
    EXPECT_EQ(session.commandChannel().nameList().size(), 2u);

    sendPhoto(session, receive, "whole");
    session.takeCommandPiece("z", receive);
    written = write(session);
    ASSERT_EQ(written.listEntries.size(), 1u);
    EXPECT_EQ(written.listEntries[0].status, StoreResult::Status::Stored);
    EXPECT_EQ(fs::file_size(receive / "b.jpg"), 0u);
    EXPECT_TRUE(session.commandChannel().nameList().empty());

    // The list is gone: a third photo and a stray piece make nothing more.
    const auto before = tree.snapshot();
    sendPhoto(session, receive, "whole");
    EXPECT_FALSE(session.takeCommandPiece("z", receive).listEntry);
    write(session);
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
    session.takePhotoPiece("b", MARKER, tree.root());
    session.takePhotoPiece("a", MARKER, tree.root());
    const Written written = write(session);
    ASSERT_EQ(written.photos.size(), 2u);
    EXPECT_EQ(written.photos[0].photo, "second-photo");
    EXPECT_EQ(written.photos[1].photo, "first-photo");
    EXPECT_EQ(written.photos[1].count, 2u);
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
        EXPECT_EQ(session.takePhotoPiece("lost", row.sent, tree.root()).counted.size(), row.photosBeforeClose);
        EXPECT_GT(session.forgetPhotoConnection("lost"), 0u);
        EXPECT_EQ(session.photoStats().bufferedBytes, 0u);
        EXPECT_EQ(session.forgetPhotoConnection("lost"), 0u);
        write(session);
        session.takePhotoPiece("again", "HDR!whole", tree.root());
        session.takePhotoPiece("again", MARKER, tree.root());
        const Written written = write(session);
        ASSERT_EQ(written.photos.size(), 1u);
        EXPECT_EQ(written.photos[0].photo, "whole");
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
    EXPECT_TRUE(session.takePhotoPiece("b", MARKER, tree.root()).counted.empty());
    session.takePhotoPiece("a", MARKER, tree.root());
    const Written kept = write(session);
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
