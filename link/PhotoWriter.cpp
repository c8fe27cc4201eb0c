#include "link/PhotoWriter.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora::link {
namespace {

std::atomic<bool> g_leftBehind{false};

} // namespace

// Everything the thread touches. A write left behind keeps it alive, and
// the callbacks in it are never called again once `leftBehind` is set.
struct PhotoWriter::State {
    Store store;
    Written written;
    Idle idleWork;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<StoreJob> jobs;
    std::size_t waitingBytes = 0;
    bool busy = false;       // a job is being written and reported, or idle work runs
    bool storing = false;    // inside store() or idle work, which may never return
    bool nudged = false;     // idle work is asked for now
    bool abandoned = false;
    bool stopping = false;
    bool ended = false;      // the thread has left run()
    bool leftBehind = false;
    std::optional<Clock::time_point> putOff; // when idleWork is due; writer thread only
    StoredThisRun stored; // the photos this writer stored; writer thread only
};

PhotoWriter::PhotoWriter(Written written, Idle idle, std::size_t waitingLimit, Store store)
    : m_limit(waitingLimit), m_state(std::make_shared<State>())
{
    // By default photos of this writer with no name of their own go beside
    // the photos it stored under that name.
    m_state->store = store ? std::move(store)
                           : Store([state = m_state.get()](StoreJob& job) { return link::store(job, state->stored); });
    m_state->written = std::move(written);
    m_state->idleWork = std::move(idle);
    m_thread = std::thread([state = m_state.get()] { run(*state); });
}

PhotoWriter::~PhotoWriter()
{
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    state.stopping = true;
    state.wake.notify_all();
    state.idle.wait(lock, [&] { return state.ended || (state.abandoned && state.storing); });
    if (state.ended) {
        lock.unlock();
        m_thread.join();
        return;
    }
    state.leftBehind = true;
    g_leftBehind = true;
    // The thread goes on with the state: it stays, as the program is about
    // to end anyway.
    static std::mutex keptMutex;
    static std::vector<std::shared_ptr<State>> kept;
    {
        std::lock_guard keep(keptMutex);
        kept.push_back(m_state);
    }
    m_thread.detach();
}

bool PhotoWriter::writesLeftBehind()
{
    return g_leftBehind;
}

void PhotoWriter::push(StoreJob job)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->waitingBytes += job.photo.capacity();
        m_state->jobs.push_back(std::move(job));
    }
    m_state->wake.notify_one();
}

void PhotoWriter::nudge()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->nudged = true;
    }
    m_state->wake.notify_one();
}

std::size_t PhotoWriter::bytesWaiting() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->waitingBytes;
}

bool PhotoWriter::finish(std::chrono::milliseconds bound)
{
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    return state.idle.wait_for(lock, bound, [&] { return state.jobs.empty() && !state.busy; });
}

void PhotoWriter::abandon()
{
    std::lock_guard lock(m_state->mutex);
    for (const StoreJob& job : m_state->jobs)
        m_state->waitingBytes -= job.photo.capacity();
    m_state->jobs.clear();
    m_state->abandoned = true;
}

void PhotoWriter::run(State& state)
{
    std::unique_lock lock(state.mutex);
    const auto ready = [&] { return state.stopping || state.nudged || !state.jobs.empty(); };
    for (;;) {
        if (state.jobs.empty() && !state.stopping && !state.nudged) {
            // Put-off work runs once it is due with nothing come meanwhile.
            if (!state.putOff)
                state.wake.wait(lock, ready);
            else if (!state.wake.wait_until(lock, *state.putOff, ready) && !runIdle(state, lock))
                return;
            continue;
        }
        if (state.jobs.empty() && !state.stopping) {
            if (!runIdle(state, lock)) // nudged
                return;
            continue;
        }
        if (state.jobs.empty())
            break; // stopping, and everything is written
        StoreJob job = std::move(state.jobs.front());
        state.jobs.pop_front();
        state.busy = true;
        state.storing = true;
        if (state.abandoned)
            state.idle.notify_all(); // a closing writer need not wait for this one
        const std::size_t size = job.photo.capacity();
        lock.unlock();
        const StoreResult result = state.store(job);
        lock.lock();
        state.storing = false;
        if (state.leftBehind)
            return; // the writer is gone, and with it whom to tell
        lock.unlock();
        if (state.written)
            state.putOff = state.written(job, result);
        lock.lock();
        state.waitingBytes -= size;
        state.busy = false;
        if (state.jobs.empty())
            state.idle.notify_all();
    }
    state.ended = true;
    state.idle.notify_all();
}

// Runs the idle work with the lock released; false when the writer left the
// thread behind meanwhile.
bool PhotoWriter::runIdle(State& state, std::unique_lock<std::mutex>& lock)
{
    state.nudged = false;
    state.putOff.reset();
    if (!state.idleWork)
        return true;
    state.busy = true;
    state.storing = true;
    lock.unlock();
    const std::optional<Clock::time_point> next = state.idleWork();
    lock.lock();
    state.storing = false;
    if (state.leftBehind)
        return false;
    if (!state.nudged)
        state.putOff = next;
    state.busy = false;
    if (state.jobs.empty())
        state.idle.notify_all();
    return true;
}

} // namespace velmora::link
