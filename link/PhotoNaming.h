#pragma once

// Which name each photo is filed under. The phone names a photo on the
// command connection and then sends it on the photo connection; but a phone
// on Wi-Fi writes a photo into a send buffer of several megabytes and goes on
// at once, so the next name often reaches the PC while the last photo is
// still on the air. A name therefore binds to a transfer, not to an end
// marker. Each phone (the address its connections come from) has names of
// its own: two phones pointed at one PC never take each other's names.
//
// The rules, for one phone; each is a row of docs/protocol.md and of the
// table test:
//  1. Busy: the phone has an open transfer that had bytes within STALL_MS,
//     or it sent photo bytes within QUIET_MS. Otherwise it is quiet.
//  2. A name arriving while the phone is quiet replaces every name of that
//     phone still waiting: a cancelled shot's name is dropped, the latest
//     name counts.
//  3. A name arriving while the phone is busy, with none of its names
//     waiting, goes to the phone's oldest transfer open to a late name: one
//     that took the phone's current name (rule 7), until its end; one that
//     ended a quiet spell (rule 5) or took a cut-off photo's place (rule 6),
//     and a rule-7 transfer that has ended, until LATE_MS after its first
//     bytes. A late
//     name: the photo's first bytes were read a round before the name
//     message that preceded them, or a lost segment of that small message
//     was sent again after a retransmission timeout (200 ms and more on a
//     phone, doubled by interference) while the photo flowed on.
//  4. Any other name arriving while the phone is busy waits in line behind
//     the photos on the air; the names waiting per phone hold at most
//     WAITING_BYTES_LIMIT, and a name beyond that is let go.
//  5. At its first bytes a transfer takes the phone's oldest waiting name,
//     else the name that came while quiet. When its first bytes end a quiet
//     spell, the names that waited through it belong to shots cancelled
//     while a photo was on the air, but the latest: the transfer takes the
//     latest, and stays open to a late name for LATE_MS (rule 3), its own
//     name read after its first bytes.
//  6. Else, when the phone's last transfer was cut off before its end and
//     the new one begins with the same bytes, it is that photo sent again:
//     it takes the cut-off photo's name and waits for no late one. (A phone
//     sends a broken photo again with no new name; its next name, written
//     behind the photo into the send buffer, reaches the PC as soon as a
//     late name would.) A cut-off photo still open to its late name keeps
//     its place for that name (rule 3), and hands it to the photo sent again.
//  7. Else it takes the phone's current name (two photos after one name
//     share it) and stays open to a late name until its end (rule 3). Unless
//     one comes, it has no name of its own: it is stored beside a photo of
//     that name stored in this run, never over it (StoreJob::besideStored).
//     A photo sent again (rule 6) has a name of its own when the cut-off
//     photo had one.
//  8. A transfer on a new photo connection lets go the phone's transfers
//     still open on its other connections: the phone only opens a new photo
//     connection when the old one has broken (the caller drops their bytes).
// Bytes in, names out: the caller says when each thing happened.

#include "link/PhotoName.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::link {

class PhotoNaming {
public:
    using Millis = std::int64_t;
    using TransferId = std::uint64_t;

    // How long after its last photo bytes a phone still counts as busy:
    // longer than the gap between a photo's end and the next photo's first
    // bytes on a busy link, shorter than a person takes to cancel a shot
    // and take another.
    static constexpr Millis QUIET_MS = 300;
    // How long after a transfer's first bytes a name can still be its late
    // name when the transfer has ended (or took a name already): a read
    // round or two, never the seconds a photo is on the air.
    static constexpr Millis LATE_MS = 150;
    // An open transfer silent this long no longer keeps its phone busy: a
    // phone out of Wi-Fi reach sends neither its bytes nor a close. Longer
    // than the stalls of a phone on weak Wi-Fi between two bursts of bytes.
    static constexpr Millis STALL_MS = 2000;
    // What the names waiting for their photos may hold, per phone, counted
    // by waitingBytes(). A phone that crops its photos to 30-60 KB, or sends
    // a class's photos queued while it was out of reach, writes dozens of
    // names ahead of their photos, a few KiB; the bound only stops a device
    // that floods the PC with names (about 20,000 of them).
    static constexpr std::size_t WAITING_BYTES_LIMIT = std::size_t{2} * 1024 * 1024;
    // What a waiting name costs beside its text: its place in the line and
    // the strings holding it.
    static constexpr std::size_t NAME_OVERHEAD = 64;
    // How many first bytes of a cut-off transfer are kept to know it again.
    static constexpr std::size_t RESEND_COMPARED = 4096;
    // Phones whose names are kept; the one idle longest goes first.
    static constexpr std::size_t PHONE_LIMIT = 64;

    // The phone a connection (as "address:port", or any text without a
    // port) belongs to: its address.
    static std::string phoneOf(const std::string& connection);

    enum class NameOutcome { Quiet, Late, Waiting, Refused };
    // A name message arrived at `now` on the command connection `connection`.
    NameOutcome nameArrived(const std::string& connection, PhotoName name, Millis now);
    // Photo bytes arrived at `now` on `connection`.
    void photoBytes(const std::string& connection, Millis now);
    // The phone's connections other than `connection` that hold an open
    // transfer: when `connection` begins one, the caller lets them go (rule 8).
    std::vector<std::string> otherOpenConnections(const std::string& connection) const;
    // A transfer's first bytes arrived on `connection`: `firstBytes` are
    // those that came so far, less the header. The name it takes now may
    // still be replaced by a late name until it is released.
    TransferId transferBegan(const std::string& connection, Millis now, std::string_view firstBytes = {});
    // The transfer of `connection` has ended; its name stays open to a late
    // name until release(). Returns its id, or nothing when no transfer had
    // begun there (an end marker on an idle connection).
    std::optional<TransferId> transferEnded(const std::string& connection);
    // Whether the ended transfer `id` may still get a late name at `now`.
    bool awaitsLateName(TransferId id, Millis now) const;
    // The transfer of `connection` was cut off before its end (its
    // connection closed, or the phone went on on a new one) after
    // `firstBytes` had come, less the header: the phone's next transfer with
    // no new name that begins with them is that photo sent again (rule 6).
    void transferCutOff(const std::string& connection, std::string_view firstBytes = {});
    // The transfer of `connection` was let go for good (it passed the size
    // limit): no photo will follow in its place.
    void transferDropped(const std::string& connection);
    struct Released {
        PhotoName name;
        // False when the transfer only took the phone's current name
        // (rule 7): the name of the photo before it, none of its own.
        bool ownName = true;
    };
    // The name of an ended transfer, which is then forgotten; an empty name
    // for an id that is not (or no longer) known.
    Released release(TransferId id);
    // The name the last transfer of the phone of `connection` took: what a
    // photo that never began (an end marker alone) is filed under.
    PhotoName currentName(const std::string& connection) const;
    // Names waiting for their photos, all phones together.
    std::size_t namesWaiting() const;
    // What `name` counts against WAITING_BYTES_LIMIT while it waits: the
    // bytes of its GBK and UTF-8 forms plus NAME_OVERHEAD.
    static std::size_t waitingBytes(const PhotoName& name);

private:
    struct Phone {
        std::deque<PhotoName> waiting;
        std::size_t waitingBytes = 0; // of `waiting`, by PhotoNaming::waitingBytes
        std::optional<PhotoName> quiet; // came while quiet, not taken yet
        PhotoName current;
        struct CutOff {
            PhotoName name;
            bool ownName = true;
            std::string firstBytes; // up to RESEND_COMPARED
            std::optional<TransferId> waiting; // still open to its late name
        };
        std::optional<CutOff> cutOff; // the last transfer, cut off before its end
        std::optional<Millis> lastBytes;
        Millis lastSeen = 0;

        void wait(PhotoName name);
        PhotoName takeOldest();
        void clearWaiting();
    };
    struct Transfer {
        std::string phone;
        PhotoName name;
        Millis began = 0;
        bool ownName = true;          // not only the phone's current name (rule 7)
        bool lateNameWelcome = false; // began with no new name, none came since
        bool lateUntilEnd = false;    // welcome while open, not only for LATE_MS (rule 7)
        bool open = true;             // its end marker has not come, it was not cut off
        bool cutOff = false;          // no photo: kept only for its late name
    };
    struct Open {
        TransferId id;
        Millis lastBytes;
    };

    Phone& phone(const std::string& address, Millis now);
    bool busy(const std::string& address, const Phone& phone, Millis now) const;
    static bool welcomesLateName(const Transfer& transfer, Millis now);
    bool takeLateName(const std::string& address, Phone& sender, PhotoName& name, Millis now);
    std::optional<TransferId> close(const std::string& connection);
    void forgetCutOffs(const std::string& address, Millis now);
    void forgetIdlePhone();

    std::map<std::string, Phone> m_phones;       // by address
    std::map<TransferId, Transfer> m_transfers;  // open, or ended and not yet released
    std::map<std::string, Open> m_open;          // by connection
    TransferId m_nextId = 1;
};

} // namespace velmora::link
