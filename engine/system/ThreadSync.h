// A lock and a condition for the threads of one process. Where the system has its slim lock and
// condition variable (Windows Vista on) they are used: a lock nobody else holds and a wake
// nobody waits for stay inside the process. Windows XP has neither, and gets the thread
// library's mutex and condition. The choice is made once per object, when it is made.
#pragma once
#include <condition_variable>
#include <mutex>

struct SlimSync;

class ThreadLock {
  public:
    ThreadLock();
    ThreadLock(const ThreadLock&) = delete;
    ThreadLock& operator=(const ThreadLock&) = delete;
    void lock();
    void unlock();

  private:
    friend class ThreadCondition;
    const SlimSync* slim_;
    void* slimLock_ = nullptr;
    std::mutex fallback_;
};

class ThreadCondition {
  public:
    ThreadCondition();
    ThreadCondition(const ThreadCondition&) = delete;
    ThreadCondition& operator=(const ThreadCondition&) = delete;

    // Sleeps, the lock let go meanwhile, until ready() holds with the lock held.
    template <class Ready> void wait(std::unique_lock<ThreadLock>& held, Ready ready) {
        while (!ready()) Sleep(held);
    }
    void notify_one();
    void notify_all();

  private:
    void Sleep(std::unique_lock<ThreadLock>& held);
    const SlimSync* slim_;
    void* slimCondition_ = nullptr;
    std::condition_variable_any fallback_;
};

// For tests: whether locks and conditions made from now on use the system's slim ones where
// it has them (the start), or the thread library's as on Windows XP.
void SetSlimSyncAllowed(bool allowed);
// Whether a lock made now would be the system's slim one.
bool SlimSyncInUse();
