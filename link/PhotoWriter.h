#pragma once

// Writes the channels' store jobs into the receive directory on a thread of
// its own, one at a time and in the order they came, so that a slow disk (a
// USB stick, an SD card, a school's network share) never holds up the
// window or the network. Photos waiting here are bounded by the caller, who
// stops reading the phone's connections while full() holds; TCP then holds
// the phone back and nothing is dropped. A writer is one run of the
// program: a photo with no name of its own never goes over a photo this
// writer stored, but beside it (store()).

#include "link/PhotoStore.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace velmora::link {

class PhotoWriter {
public:
    // Photos in memory stay within 256 MiB, besides the newest photo the
    // window shows: 240 MiB of them may wait here, and the rest is room for
    // the photo being received and the connections' read buffers.
    static constexpr std::size_t DEFAULT_WAITING_LIMIT = std::size_t{240} * 1024 * 1024;

    using Clock = std::chrono::steady_clock;
    // Writes one job, on the writer thread; by default store() (PhotoStore.h).
    using Store = std::function<StoreResult(StoreJob& job)>;
    // Called on the writer thread after each job, with the job (its photo
    // bytes still in it) and where it went. It may put work off: the time
    // it returns is when `idle` is to run should no job be waiting then;
    // each answer, of `written` or of `idle`, replaces the last one, and
    // nothing puts nothing off.
    using Written = std::function<std::optional<Clock::time_point>(StoreJob& job, const StoreResult& result)>;
    // Called on the writer thread for work put off, and after nudge().
    using Idle = std::function<std::optional<Clock::time_point>()>;

    explicit PhotoWriter(Written written, Idle idle = {}, std::size_t waitingLimit = DEFAULT_WAITING_LIMIT,
                         Store store = {});
    // Writes what is still waiting, then ends the thread; after abandon(),
    // does not wait for a write that has not returned (see there).
    ~PhotoWriter();

    PhotoWriter(const PhotoWriter&) = delete;
    PhotoWriter& operator=(const PhotoWriter&) = delete;

    // Any thread.
    void push(StoreJob job);
    // Any thread: `idle` runs as soon as no job waits, whatever was put off.
    void nudge();
    // Memory held by the photos pushed and not yet written, the one being
    // written included: their buffers' capacity, not only their bytes.
    std::size_t bytesWaiting() const;
    // Whether the photos waiting have reached the limit.
    bool full() const { return bytesWaiting() >= m_limit; }
    // The bound given at construction, in bytes.
    std::size_t limit() const { return m_limit; }
    // Waits until every job pushed so far is written, and idle work under
    // way has returned, at most `bound`; true when all were written.
    bool finish(std::chrono::milliseconds bound);
    // Lets go of the jobs not yet begun. The one being written (or idle
    // work under way) is finished should it return before the destructor; if
    // not (a share whose cable was pulled), the destructor leaves it to its
    // thread, which ends on its own should the write ever return, and
    // `written` is not called for it.
    void abandon();

    // Whether any writer of this run left a write that never returned
    // behind: the program must then end without waiting for its thread.
    static bool writesLeftBehind();

private:
    struct State;
    static void run(State& state);
    static bool runIdle(State& state, std::unique_lock<std::mutex>& lock);

    const std::size_t m_limit;
    // Shared with the thread, which may outlive the writer.
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace velmora::link
