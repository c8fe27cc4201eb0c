#pragma once

// Memory that work on stored photos holds outside the writer: the window's
// verdict, which keeps a photo's bytes and decodes it while it judges. It
// counts against the same bound as the photos waiting for the disk, so a
// slow receive folder and a judging never add up beyond it:
//
//   - a reserve is kept for it always, used or not, so that judging an
//     ordinary phone photo never waits for the disk;
//   - reading from the phone stops while the photos waiting, those held in
//     memory and counted() reach the writer's limit (PhoneLinkWorker);
//   - a hold larger than the reserve is counted at once, which stops reading;
//     it is granted once it fits beside the photos waiting and held, once
//     no photo waits for the disk any more (writing cannot make more room:
//     only photos held while the folder is gone are left, or the photo is
//     larger than the bound), or given up when it no longer matters (a
//     newer photo is shown). It never waits on reading, so reading always
//     resumes once the judging is over.
//
//   std::optional<PhotoMemory::Hold> hold = memory.take(bytes, [&] { return superseded(); });
//   if (!hold) return;       // given up: nothing is counted any more
//   judge(photo);            // counted until `hold` goes

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace velmora::link {

class PhotoMemory : public std::enable_shared_from_this<PhotoMemory> {
public:
    // The photos counted beside this, in bytes.
    struct Elsewhere {
        std::size_t waiting = 0; // for the disk: the writer makes room
        std::size_t inMemory = 0; // held while the receive folder is gone
    };
    // `elsewhere` is asked while a large hold waits; `limit` is the bound
    // they and this share.
    PhotoMemory(std::function<Elsewhere()> elsewhere, std::size_t limit);

    // While held, `bytes` are counted; released on destruction.
    class Hold {
    public:
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&& other) noexcept;
        ~Hold();

    private:
        friend class PhotoMemory;
        Hold(std::shared_ptr<PhotoMemory> memory, std::size_t bytes) : m_memory(std::move(memory)), m_bytes(bytes) {}
        std::shared_ptr<PhotoMemory> m_memory;
        std::size_t m_bytes;
    };

    // Room kept whether or not anything is held.
    void setReserve(std::size_t bytes);
    // What the bound counts for this: the bytes held, at least the reserve.
    std::size_t counted() const;
    // Counts `bytes` and returns once they may be held (above); empty,
    // counting nothing, as soon as `givenUp` says so (asked every few
    // milliseconds while waiting).
    std::optional<Hold> take(std::size_t bytes, const std::function<bool()>& givenUp);
    // The writer is gone: nothing else is counted from now on.
    void detach();

private:
    void release(std::size_t bytes);

    const std::size_t m_limit;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<Elsewhere()> m_elsewhere;
    std::size_t m_reserve = 0;
    std::size_t m_held = 0;
};

} // namespace velmora::link
