#include "engine/HashFeed.h"

#include <windows.h>

#include <deque>
#include <vector>

#include "engine/Sha256.h"

namespace {

// A few buffers: enough for the copy to read one while the lanes hash the others, and for
// one lane to fall a little behind while the other goes on (two lanes on two processors run
// at unequal speeds from moment to moment); few enough to keep the memory small. Ten keep a
// split's peak working set under 16 MiB under Wine with half a MiB to spare, and split within
// about 1% of the speed of twelve.
constexpr int kBuffers = 10;
// A copy that waits for a buffer is woken only once this many are free: each wake is a trip
// through the system that costs as much as copying a buffer, and the lanes have the other
// buffers to hash meanwhile.
constexpr size_t kWakeCopyAt = kBuffers / 2;

struct Block {
    std::unique_ptr<char[]> bytes;
    int users = 0; // lanes that still have to hash it
};

struct Job {
    Block* block;
    uint32_t size;
};

// Holds the feed's lock for one scope; Wait lets it go while waiting.
class Locked {
  public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

    // Marks the caller as waiting, lets the lock go until event is set, and takes it again.
    void Wait(bool& waiting, HANDLE event) {
        waiting = true;
        LeaveCriticalSection(&lock_);
        WaitForSingleObject(event, INFINITE);
        EnterCriticalSection(&lock_);
    }

  private:
    CRITICAL_SECTION& lock_;
};

// Wakes a thread that marked itself waiting (called with the lock held). Threads are woken
// only when they wait, so that a busy pipeline makes no calls into the system at all.
void Wake(bool& waiting, HANDLE event) {
    if (!waiting) return;
    waiting = false;
    SetEvent(event);
}

} // namespace

struct HashFeed::State {
    struct Lane {
        State* feed = nullptr;
        HANDLE thread = nullptr;
        HANDLE work = nullptr;    // wakes the lane's thread for a job or for the end
        HANDLE drained = nullptr; // wakes a caller waiting for the lane to finish its jobs
        bool threadWaits = false;
        bool callerWaits = false;
        std::deque<Job> jobs;
        int pending = 0; // jobs queued or being hashed
        std::unique_ptr<Sha256> digest;
    };

    CRITICAL_SECTION lock;
    HANDLE room = nullptr; // wakes a copy waiting for a free buffer
    bool copyWaits = false;
    std::vector<Block> blocks;
    std::vector<Block*> free;
    std::vector<Lane> lanes;
    uint32_t bufferSize = 0;
    bool ending = false;
    bool ready = true;

    static DWORD WINAPI Hash(void* parameter) {
        Lane& lane = *static_cast<Lane*>(parameter);
        State& feed = *lane.feed;
        Locked locked(feed.lock);
        for (;;) {
            if (feed.ending) return 0;
            if (lane.jobs.empty()) {
                locked.Wait(lane.threadWaits, lane.work);
                continue;
            }
            const Job job = lane.jobs.front();
            lane.jobs.pop_front();
            // The buffer is not written while any lane still holds it, and the digest is not
            // touched by the caller while a job is pending, so the lock can go meanwhile.
            LeaveCriticalSection(&feed.lock);
            lane.digest->Add(job.block->bytes.get(), job.size);
            EnterCriticalSection(&feed.lock);
            feed.Release(job.block);
            if (--lane.pending == 0) Wake(lane.callerWaits, lane.drained);
        }
    }

    // Called with the lock held.
    void Release(Block* block) {
        if (--block->users > 0) return;
        free.push_back(block);
        if (free.size() >= kWakeCopyAt) Wake(copyWaits, room);
    }

    // Waits, with the lock held, until the lane has hashed everything passed to it.
    void Drain(Locked& locked, Lane& lane) {
        while (lane.pending > 0) locked.Wait(lane.callerWaits, lane.drained);
    }
};

HashFeed::HashFeed(int lanes, uint32_t bufferSize) : state_(std::make_unique<State>()) {
    State& s = *state_;
    InitializeCriticalSection(&s.lock);
    s.bufferSize = bufferSize;
    s.blocks.resize(kBuffers);
    for (Block& block : s.blocks) {
        block.bytes.reset(new (std::nothrow) char[bufferSize]);
        if (!block.bytes) s.ready = false;
        s.free.push_back(&block);
    }
    s.room = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    s.lanes.resize(lanes);
    for (State::Lane& lane : s.lanes) {
        lane.feed = &s;
        lane.work = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        lane.drained = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (lane.work && lane.drained)
            lane.thread = CreateThread(nullptr, 0, &State::Hash, &lane, 0, nullptr);
        if (!lane.thread) s.ready = false;
    }
    if (!s.room) s.ready = false;
}

HashFeed::~HashFeed() {
    State& s = *state_;
    {
        Locked locked(s.lock);
        s.ending = true;
    }
    // Each thread ends at its next look at the queue, after the buffer it hashes now (if any);
    // an event left set by this is never waited for again.
    for (State::Lane& lane : s.lanes)
        if (lane.thread) SetEvent(lane.work);
    for (State::Lane& lane : s.lanes) {
        if (lane.thread) {
            WaitForSingleObject(lane.thread, INFINITE);
            CloseHandle(lane.thread);
        }
        if (lane.work) CloseHandle(lane.work);
        if (lane.drained) CloseHandle(lane.drained);
    }
    if (s.room) CloseHandle(s.room);
    DeleteCriticalSection(&s.lock);
}

bool HashFeed::Ready() const {
    if (!state_->ready) return false;
    for (const State::Lane& lane : state_->lanes)
        if (lane.digest && !lane.digest->Ready()) return false;
    return true;
}

void HashFeed::Begin(int lane) {
    State& s = *state_;
    State::Lane& l = s.lanes[lane];
    Locked locked(s.lock);
    s.Drain(locked, l);
    l.digest = std::make_unique<Sha256>();
}

Sha256* HashFeed::Hashed(int lane) {
    State& s = *state_;
    State::Lane& l = s.lanes[lane];
    if (!s.ready || !l.digest) return nullptr;
    Locked locked(s.lock);
    s.Drain(locked, l);
    return l.digest.get();
}

std::optional<std::string> HashFeed::Finish(int lane) {
    Sha256* digest = Hashed(lane);
    if (!digest) return std::nullopt;
    std::optional<std::string> digits = digest->Finish();
    state_->lanes[lane].digest.reset();
    return digits;
}

std::optional<std::string> HashFeed::Peek(int lane) {
    Sha256* digest = Hashed(lane);
    return digest ? digest->Peek() : std::nullopt;
}

uint32_t HashFeed::BufferSize() const { return state_->bufferSize; }

char* HashFeed::TakeBuffer() {
    State& s = *state_;
    Locked locked(s.lock);
    while (s.free.empty()) locked.Wait(s.copyWaits, s.room);
    Block* block = s.free.back();
    s.free.pop_back();
    return block->bytes.get();
}

void HashFeed::Pass(char* buffer, uint32_t size) {
    State& s = *state_;
    Locked locked(s.lock);
    Block* block = nullptr;
    for (Block& b : s.blocks)
        if (b.bytes.get() == buffer) block = &b;
    if (!block) return;
    block->users = 1; // the feed's own hold, let go below once every lane has its job
    if (size > 0 && s.ready) {
        for (State::Lane& lane : s.lanes) {
            if (!lane.digest) continue; // resting until it begins
            ++block->users;
            lane.jobs.push_back({block, size});
            ++lane.pending;
            Wake(lane.threadWaits, lane.work);
        }
    }
    s.Release(block);
}
