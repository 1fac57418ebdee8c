#include "engine/HashFeed.h"

#include <windows.h>

#include <deque>
#include <vector>

#include "engine/Sha256.h"

namespace {

// A few buffers: enough for the copy to read one while the lanes hash the others, few enough
// to keep the memory small.
constexpr int kBuffers = 8;

struct Block {
    std::unique_ptr<char[]> bytes;
    int users = 0; // lanes that still have to hash it
};

struct Job {
    Block* block;
    uint32_t size;
};

// Holds the feed's lock for one scope.
class Locked {
  public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CRITICAL_SECTION& lock_;
};

} // namespace

struct HashFeed::State {
    struct Lane {
        State* feed = nullptr;
        HANDLE thread = nullptr;
        HANDLE work = nullptr; // counts the jobs queued, and one more to end
        HANDLE idle = nullptr; // set while nothing is queued or being hashed
        std::deque<Job> jobs;
        int pending = 0;
        std::unique_ptr<Sha256> digest;
    };

    CRITICAL_SECTION lock;
    HANDLE freeCount = nullptr; // counts the free buffers
    std::vector<Block> blocks;
    std::vector<Block*> free;
    std::vector<Lane> lanes;
    uint32_t bufferSize = 0;
    bool ending = false;
    bool ready = true;

    static DWORD WINAPI Hash(void* parameter) {
        Lane& lane = *static_cast<Lane*>(parameter);
        State& feed = *lane.feed;
        for (;;) {
            WaitForSingleObject(lane.work, INFINITE);
            Job job;
            {
                Locked locked(feed.lock);
                if (feed.ending || lane.jobs.empty()) return 0;
                job = lane.jobs.front();
                lane.jobs.pop_front();
            }
            // The buffer is not written while any lane still holds it, so no lock is needed.
            if (lane.digest) lane.digest->Add(job.block->bytes.get(), job.size);
            Locked locked(feed.lock);
            feed.Release(job.block);
            if (--lane.pending == 0) SetEvent(lane.idle);
        }
    }

    // Called with the lock held.
    void Release(Block* block) {
        if (--block->users > 0) return;
        free.push_back(block);
        ReleaseSemaphore(freeCount, 1, nullptr);
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
    s.freeCount = CreateSemaphoreA(nullptr, kBuffers, kBuffers, nullptr);
    s.lanes.resize(lanes);
    for (State::Lane& lane : s.lanes) {
        lane.feed = &s;
        lane.work = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
        lane.idle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (lane.work && lane.idle)
            lane.thread = CreateThread(nullptr, 0, &State::Hash, &lane, 0, nullptr);
        if (!lane.thread) s.ready = false;
    }
    if (!s.freeCount) s.ready = false;
    for (int lane = 0; lane < lanes; ++lane) Begin(lane);
}

HashFeed::~HashFeed() {
    State& s = *state_;
    {
        Locked locked(s.lock);
        s.ending = true;
    }
    // Each thread ends at its next wait, after the buffer it hashes now (if any).
    for (State::Lane& lane : s.lanes)
        if (lane.thread) ReleaseSemaphore(lane.work, 1, nullptr);
    for (State::Lane& lane : s.lanes) {
        if (lane.thread) {
            WaitForSingleObject(lane.thread, INFINITE);
            CloseHandle(lane.thread);
        }
        if (lane.work) CloseHandle(lane.work);
        if (lane.idle) CloseHandle(lane.idle);
    }
    if (s.freeCount) CloseHandle(s.freeCount);
    DeleteCriticalSection(&s.lock);
}

bool HashFeed::Ready() const {
    if (!state_->ready) return false;
    for (const State::Lane& lane : state_->lanes)
        if (!lane.digest || !lane.digest->Ready()) return false;
    return true;
}

void HashFeed::Begin(int lane) {
    State::Lane& l = state_->lanes[lane];
    WaitForSingleObject(l.idle, INFINITE);
    l.digest = std::make_unique<Sha256>();
}

std::optional<std::string> HashFeed::Finish(int lane) {
    State::Lane& l = state_->lanes[lane];
    if (!state_->ready || !l.digest) return std::nullopt;
    WaitForSingleObject(l.idle, INFINITE);
    std::optional<std::string> digits = l.digest->Finish();
    l.digest.reset();
    return digits;
}

uint32_t HashFeed::BufferSize() const { return state_->bufferSize; }

char* HashFeed::TakeBuffer() {
    State& s = *state_;
    WaitForSingleObject(s.freeCount, INFINITE);
    Locked locked(s.lock);
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
            ++block->users;
            lane.jobs.push_back({block, size});
            if (lane.pending++ == 0) ResetEvent(lane.idle);
            ReleaseSemaphore(lane.work, 1, nullptr);
        }
    }
    s.Release(block);
}
