// The feed's buffers, its lanes' threads and their queues, and a SHA-256 lane's digest.
#include "engine/digest/HashFeed.h"

#include <deque>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/digest/Sha256.h"
#include "engine/system/ThreadSync.h"

// One lock guards every queue, count and buffer list below. Why a lane cannot miss a buffer:
// Pass queues a job for every begun lane under the lock, and a lane's thread goes to sleep
// only after seeing its queue empty under the same lock, so a job queued is either seen
// before the sleep or wakes it. Why a buffer is not overwritten while a lane reads it: a
// buffer goes back on the free list only when the last lane holding it has done its job.

namespace {

// A few buffers: enough for the copy to read one while the lanes work on the others, and for
// one lane to fall a little behind while the other goes on (two lanes on two processors run
// at unequal speeds from moment to moment); few enough to keep the memory small. Ten keep a
// split's peak working set under 16 MiB under Wine.
constexpr size_t kBuffers = 10;
// A copy that waits for a buffer is woken only once this many are free: each wake is a trip
// through the system that costs as much as copying a buffer, and the lanes have the other
// buffers to work on meanwhile.
constexpr size_t kWakeCopyAt = kBuffers / 2;

struct Block {
    std::unique_ptr<char[]> bytes;
    int users = 0; // lanes that still have to do their job on it
};

struct Job {
    int lane;
    Block* block;
    uint32_t size;
    uint32_t tag;
};

// A lane's SHA-256, and an MD5 of the same bytes when one goes beside it, as work for the lane.
class DigestWork : public FeedWork {
  public:
    void Add(const char* bytes, uint32_t size, uint32_t) override {
        if (beside)
            digest.Add(bytes, size, *beside);
        else
            digest.Add(bytes, size);
    }
    Sha256* DigestFor(uint32_t) override { return beside ? nullptr : &digest; }
    Sha256 digest;
    Md5* beside = nullptr;
};

} // namespace

struct HashFeed::State {
    // A thread and the jobs of the lanes it works for, in the order they were handed.
    struct Worker {
        std::thread thread;
        ThreadCondition hasJob;  // the thread waits for a job or the end
        ThreadCondition drained; // a caller waits for the jobs to be done
        std::deque<Job> jobs;
        int pending = 0; // jobs queued or being done
    };
    struct Lane {
        Worker* worker = nullptr;
        FeedWork* work = nullptr; // none while the lane rests
        std::unique_ptr<DigestWork> digest;
    };

    ThreadLock lock;
    ThreadCondition room; // a copy waits for free buffers
    std::vector<Block> blocks;
    std::vector<Block*> free;
    std::deque<Worker> workers; // a deque: workers stay where they are while threads refer to them
    std::vector<Lane> lanes;
    uint32_t bufferSize = 0;
    bool ending = false;
    bool ready = true;

    void Work(Worker& worker) {
        std::unique_lock<ThreadLock> held(lock);
        for (;;) {
            worker.hasJob.wait(held, [&] { return ending || !worker.jobs.empty(); });
            if (ending) return;
            const Job job = worker.jobs.front();
            worker.jobs.pop_front();
            // Another lane's next job goes with it, in one pass, when both are SHA-256s.
            std::optional<Job> beside = TakeBeside(worker, job);
            // The buffers are not written while any lane holds them, and the caller does not
            // touch a lane's work while a job is pending, so the lock can go meanwhile.
            held.unlock();
            Do(job, beside);
            held.lock();
            int done = 1;
            Release(job.block);
            if (beside) {
                Release(beside->block);
                ++done;
            }
            if ((worker.pending -= done) == 0) worker.drained.notify_all();
        }
    }

    // With the lock held: the first job queued for a lane other than job's, taken off the
    // queue, when both lanes put their buffers into a SHA-256 alone.
    std::optional<Job> TakeBeside(Worker& worker, const Job& job) {
        if (!lanes[job.lane].work->DigestFor(job.tag)) return std::nullopt;
        for (auto next = worker.jobs.begin(); next != worker.jobs.end(); ++next) {
            if (next->lane == job.lane) continue;
            if (!lanes[next->lane].work->DigestFor(next->tag)) return std::nullopt;
            const Job found = *next;
            worker.jobs.erase(next);
            return found;
        }
        return std::nullopt;
    }

    void Do(const Job& job, const std::optional<Job>& beside) {
        FeedWork& work = *lanes[job.lane].work;
        if (!beside) {
            work.Add(job.block->bytes.get(), job.size, job.tag);
            return;
        }
        Sha256& other = *lanes[beside->lane].work->DigestFor(beside->tag);
        work.DigestFor(job.tag)->AddBeside(job.block->bytes.get(), job.size, other,
                                           beside->block->bytes.get(), beside->size);
    }

    // Called with the lock held.
    void Release(Block* block) {
        if (--block->users > 0) return;
        free.push_back(block);
        if (free.size() == kWakeCopyAt) room.notify_one();
    }

    // Gives the lane the digest once it has done what it was given; none rests it.
    bool BeginDigest(Lane& lane, std::unique_ptr<DigestWork> digest) {
        std::unique_lock<ThreadLock> held(lock);
        Drain(held, lane);
        lane.digest = std::move(digest);
        lane.work = lane.digest.get();
        return lane.work != nullptr;
    }

    // Hands a buffer to every begun lane, or to only's alone (when not -1) with the tag.
    void Hand(char* buffer, uint32_t size, int only, uint32_t tag) {
        std::lock_guard<ThreadLock> held(lock);
        if (Block* block = Find(buffer)) {
            block->users = 1; // the feed's own hold, let go once every lane has its job
            Queue(block, size, only, tag);
            Release(block);
        }
    }

    // Hands buffer to every begun lane and own to lane alone with the tag, at once: a lane on
    // one thread with another finds the two jobs side by side.
    void HandBeside(char* buffer, uint32_t size, char* own, uint32_t ownSize, int lane,
                    uint32_t tag) {
        std::lock_guard<ThreadLock> held(lock);
        Block *block = Find(buffer), *ownBlock = Find(own);
        if (!block || !ownBlock) return;
        block->users = ownBlock->users = 1;
        Queue(block, size, -1, 0);
        Queue(ownBlock, ownSize, lane, tag);
        Release(block);
        Release(ownBlock);
    }

    // Called with the lock held.
    Block* Find(char* buffer) {
        for (Block& b : blocks)
            if (b.bytes.get() == buffer) return &b;
        return nullptr;
    }

    // Called with the lock held: a job for every begun lane, or only's, that takes the tag.
    void Queue(Block* block, uint32_t size, int only, uint32_t tag) {
        if (size == 0 || !ready) return;
        for (int number = 0; number < static_cast<int>(lanes.size()); ++number) {
            Lane& lane = lanes[static_cast<size_t>(number)];
            if (only >= 0 && number != only) continue;
            // Resting until it begins, or nothing to do with these bytes.
            if (!lane.work || lane.work->Passes(tag)) continue;
            ++block->users;
            lane.worker->jobs.push_back({number, block, size, tag});
            ++lane.worker->pending;
            lane.worker->hasJob.notify_one();
        }
    }

    // Waits until the lane has done everything passed to it (its thread, everything passed to
    // any of its lanes); returns with the lock held.
    void Drain(std::unique_lock<ThreadLock>& held, Lane& lane) {
        Worker& worker = *lane.worker;
        worker.drained.wait(held, [&] { return worker.pending == 0; });
    }
};

HashFeed::HashFeed(int lanes, uint32_t bufferSize, uint32_t sharing)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.bufferSize = bufferSize;
    s.blocks.resize(kBuffers);
    for (Block& block : s.blocks) {
        block.bytes.reset(new (std::nothrow) char[bufferSize]);
        if (!block.bytes) s.ready = false;
        s.free.push_back(&block);
    }
    s.lanes.resize(static_cast<size_t>(lanes));
    State::Worker* shared = nullptr;
    for (int number = 0; number < lanes; ++number) {
        const bool sharer = (sharing >> number & 1) != 0;
        if (sharer && shared) {
            s.lanes[static_cast<size_t>(number)].worker = shared;
            continue;
        }
        State::Worker& worker = s.workers.emplace_back();
        s.lanes[static_cast<size_t>(number)].worker = &worker;
        if (sharer) shared = &worker;
        try {
            worker.thread = std::thread([&s, &worker] { s.Work(worker); });
        } catch (const std::system_error&) {
            s.ready = false;
        }
    }
}

HashFeed::~HashFeed() {
    State& s = *state_;
    {
        std::lock_guard<ThreadLock> held(s.lock);
        s.ending = true;
    }
    // Each thread ends at its next look at the queue, after the job it does now (if any).
    for (State::Worker& worker : s.workers) worker.hasJob.notify_one();
    for (State::Worker& worker : s.workers)
        if (worker.thread.joinable()) worker.thread.join();
}

bool HashFeed::Ready() const { return state_->ready; }

bool HashFeed::Begin(int lane) {
    auto digest = std::make_unique<DigestWork>();
    const bool made = digest->digest.Ready();
    return state_->BeginDigest(state_->lanes[lane], made ? std::move(digest) : nullptr);
}

bool HashFeed::Begin(int lane, Md5& beside) {
    auto digest = std::make_unique<DigestWork>();
    digest->beside = &beside;
    const bool made = digest->digest.Ready();
    return state_->BeginDigest(state_->lanes[lane], made ? std::move(digest) : nullptr);
}

bool HashFeed::Begin(int lane, const std::string& savedState) {
    auto digest = std::make_unique<DigestWork>();
    const bool made = digest->digest.ResumeFrom(savedState);
    return state_->BeginDigest(state_->lanes[lane], made ? std::move(digest) : nullptr);
}

void HashFeed::Begin(int lane, FeedWork& work) {
    State::Lane& l = state_->lanes[lane];
    std::unique_lock<ThreadLock> held(state_->lock);
    state_->Drain(held, l);
    l.digest.reset();
    l.work = &work;
}

void HashFeed::Drain(int lane) {
    std::unique_lock<ThreadLock> held(state_->lock);
    state_->Drain(held, state_->lanes[lane]);
}

void HashFeed::Rest(int lane) {
    std::unique_lock<ThreadLock> held(state_->lock);
    state_->Drain(held, state_->lanes[lane]);
    state_->lanes[lane].work = nullptr;
}

std::optional<std::string> HashFeed::Finish(int lane) {
    State::Lane& l = state_->lanes[lane];
    Rest(lane);
    // Rested and drained: no thread touches the digest any more.
    std::unique_ptr<DigestWork> digest = std::move(l.digest);
    if (!state_->ready || !digest) return std::nullopt;
    return digest->digest.Finish();
}

std::optional<std::string> HashFeed::Peek(int lane) {
    const Sha256* digest = DrainedDigest(lane);
    return digest ? digest->Peek() : std::nullopt;
}

std::optional<std::string> HashFeed::SavedState(int lane) {
    const Sha256* digest = DrainedDigest(lane);
    return digest ? digest->SavedState() : std::nullopt;
}

const Sha256* HashFeed::DrainedDigest(int lane) {
    Drain(lane);
    // Drained, and only this thread passes buffers: the lane's thread is idle until the next.
    const State::Lane& l = state_->lanes[lane];
    return state_->ready && l.digest ? &l.digest->digest : nullptr;
}

uint32_t HashFeed::BufferSize() const { return state_->bufferSize; }

char* HashFeed::TakeBuffer() {
    State& s = *state_;
    std::unique_lock<ThreadLock> held(s.lock);
    if (s.free.empty()) s.room.wait(held, [&] { return s.free.size() >= kWakeCopyAt; });
    Block* block = s.free.back();
    s.free.pop_back();
    return block->bytes.get();
}

void HashFeed::Pass(char* buffer, uint32_t size) { state_->Hand(buffer, size, -1, 0); }

void HashFeed::PassTo(char* buffer, uint32_t size, int lane, uint32_t tag) {
    state_->Hand(buffer, size, lane, tag);
}

void HashFeed::PassBeside(char* buffer, uint32_t size, char* own, uint32_t ownSize, int lane,
                          uint32_t tag) {
    state_->HandBeside(buffer, size, own, ownSize, lane, tag);
}
