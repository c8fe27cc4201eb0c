#pragma once

// Which name each photo is filed under. The phone names a photo on the
// command connection and then sends it on the photo connection; but a phone
// on Wi-Fi writes a photo into a send buffer of several megabytes and goes on
// at once, so the next name often reaches the PC while the last photo is
// still on the air. A name therefore binds to a transfer, not to an end
// marker:
//  - A name that arrives while photo bytes are flowing (a transfer is open,
//    or photo bytes came in within QUIET_MS) is queued behind the photos on
//    the air. When the open transfer began with no new name of its own and
//    nothing is queued, it is that transfer's name instead (a late name).
//  - A name that arrives while the photo connections are quiet replaces
//    every name still waiting: names whose photo never came (a cancelled
//    shot) are dropped, and the latest name counts, as it always did.
//  - At its first bytes a transfer takes the oldest queued name, else the
//    name that came while quiet, else the name the last transfer had.
// Bytes in, names out: the caller says when each thing happened.

#include "link/PhotoName.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace velmora::link {

class PhotoNaming {
public:
    using Millis = std::int64_t;
    using TransferId = std::uint64_t;

    // How long after the last photo bytes the photo connections still count
    // as busy: longer than the gap between a photo's end and the next
    // photo's first bytes on a busy link, shorter than a person takes to
    // cancel a shot and take another.
    static constexpr Millis QUIET_MS = 300;

    // A name message arrived at `now`.
    void nameArrived(PhotoName name, Millis now);
    // Photo bytes arrived at `now` (on any connection).
    void photoBytes(Millis now);
    // A transfer's first bytes arrived on `connection`; the name it takes
    // now may still be replaced by a late name until it is released.
    TransferId transferBegan(const std::string& connection, Millis now);
    // The transfer of `connection` has ended at `now`; its name stays open
    // to a late name until release(). Returns its id, or nothing when no
    // transfer had begun there (an end marker on an idle connection).
    std::optional<TransferId> transferEnded(const std::string& connection, Millis now = 0);
    // Whether the ended transfer `id` began with no new name and may still
    // get one: its name message can come in a later read than the photo
    // itself, up to QUIET_MS after the photo's end.
    bool awaitsLateName(TransferId id, Millis now) const;
    // The transfer of `connection` was let go before its end.
    void transferDropped(const std::string& connection);
    // The name of an ended transfer, which is then forgotten.
    PhotoName release(TransferId id);
    // The name the last transfer took: what a photo that never began (an end
    // marker alone) is filed under.
    const PhotoName& currentName() const { return m_current; }
    // Names waiting for their photos.
    std::size_t namesWaiting() const { return m_waiting.size() + (m_quiet ? 1 : 0); }

private:
    struct Transfer {
        PhotoName name;
        bool lateNameWelcome = false; // began with no new name, none came since
        std::optional<Millis> endedAt;
    };

    bool photosFlowing(Millis now) const;

    std::map<TransferId, Transfer> m_transfers; // open, or ended and not yet released
    std::map<std::string, TransferId> m_open;    // by connection
    std::deque<PhotoName> m_waiting;
    std::optional<PhotoName> m_quiet;
    PhotoName m_current;
    std::optional<Millis> m_lastPhotoBytes;
    TransferId m_nextId = 1;
};

} // namespace velmora::link
