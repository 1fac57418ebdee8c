// The lock and the condition on the system's slim ones where kernel32 has them, else on the
// thread library's.
#include "engine/system/ThreadSync.h"

#include <windows.h>

#include <atomic>

#include "engine/system/RunTimeLookup.h"

// The system's slim lock and condition variable, found in kernel32 at run time: Windows XP
// has neither. Both are one pointer wide and start as zero.
struct SlimSync {
    using LockCall = void(WINAPI*)(void**);
    using SleepCall = BOOL(WINAPI*)(void**, void**, DWORD, ULONG);
    LockCall acquire, release, wake, wakeAll;
    SleepCall sleep;
};

namespace {

std::atomic<bool> slimAllowed{true};

const SlimSync* FindSlimSync() {
    static const SlimSync found = [] {
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        SlimSync slim{};
        slim.acquire = LookUpFunction<SlimSync::LockCall>(kernel, "AcquireSRWLockExclusive");
        slim.release = LookUpFunction<SlimSync::LockCall>(kernel, "ReleaseSRWLockExclusive");
        slim.wake = LookUpFunction<SlimSync::LockCall>(kernel, "WakeConditionVariable");
        slim.wakeAll = LookUpFunction<SlimSync::LockCall>(kernel, "WakeAllConditionVariable");
        slim.sleep = LookUpFunction<SlimSync::SleepCall>(kernel, "SleepConditionVariableSRW");
        return slim;
    }();
    const bool complete =
        found.acquire && found.release && found.wake && found.wakeAll && found.sleep;
    return complete && slimAllowed.load() ? &found : nullptr;
}

} // namespace

ThreadLock::ThreadLock() : slim_(FindSlimSync()) {}

void ThreadLock::lock() {
    if (slim_)
        slim_->acquire(&slimLock_);
    else
        fallback_.lock();
}

void ThreadLock::unlock() {
    if (slim_)
        slim_->release(&slimLock_);
    else
        fallback_.unlock();
}

ThreadCondition::ThreadCondition() : slim_(FindSlimSync()) {}

void ThreadCondition::Sleep(std::unique_lock<ThreadLock>& held) {
    ThreadLock& lock = *held.mutex();
    // A condition pairs with the kind of lock it was made beside; both are chosen alike.
    if (slim_ && lock.slim_)
        slim_->sleep(&slimCondition_, &lock.slimLock_, INFINITE, 0);
    else
        fallback_.wait(held);
}

void ThreadCondition::notify_one() {
    if (slim_)
        slim_->wake(&slimCondition_);
    else
        fallback_.notify_one();
}

void ThreadCondition::notify_all() {
    if (slim_)
        slim_->wakeAll(&slimCondition_);
    else
        fallback_.notify_all();
}

void SetSlimSyncAllowed(bool allowed) { slimAllowed.store(allowed); }

bool SlimSyncInUse() { return FindSlimSync() != nullptr; }
