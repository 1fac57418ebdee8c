// The object model of the window-object layer: reference-counted objects that own other
// objects through an auto-free list, and events as plain (procedure, data) pairs.
#pragma once
#include <cstdint>
#include <vector>

// An event: a procedure and the object it belongs to. It is called with that data object
// first, then the sender, then its own arguments. Calling an empty event does nothing and
// gives a default result.
template <class Signature> struct Event;
template <class Result, class... Args> struct Event<Result(Args...)> {
    Result (*proc)(void* data, Args...) = nullptr;
    void* data = nullptr;

    explicit operator bool() const { return proc != nullptr; }
    Result operator()(Args... args) const {
        if (!proc) return Result();
        return proc(data, args...);
    }
};

namespace detail {
template <auto Proc> struct EventThunk;
template <class Result, class Data, class... Args, Result (*Proc)(Data*, Args...)>
struct EventThunk<Proc> {
    using EventType = Event<Result(Args...)>;
    static Result Call(void* data, Args... args) { return Proc(static_cast<Data*>(data), args...); }
};
} // namespace detail

// Builds an event from a handler taking its typed data object first:
// `ctl->OnClick = MakeEvent<&SplitClicked>(holder);` with `void SplitClicked(Holder*, Control*)`.
template <auto Proc, class Data>
typename detail::EventThunk<Proc>::EventType MakeEvent(Data* data) {
    return {&detail::EventThunk<Proc>::Call, data};
}

// Every object of the layer. RefCount is the lock count times two; an odd value means a free
// was asked for while the object was locked, and the last unlock destroys it. While the object
// is being destroyed RefCount is negative.
struct BaseObject {
    int32_t RefCount = 0;
    Event<void(BaseObject* sender)> OnDestroy;
    // Objects freed with this one, in the order added; they are freed newest first.
    std::vector<BaseObject*> AutoFree;

    BaseObject();
    BaseObject(const BaseObject&) = delete;
    BaseObject& operator=(const BaseObject&) = delete;
    virtual ~BaseObject();

    // Sets the defaults; runs right after the object was made.
    virtual void Init() {}
    // Fires OnDestroy, frees the auto-free objects and releases the memory.
    virtual void Destroy();

  protected:
    // The part of destruction every object shares: OnDestroy once, then the auto-free list.
    void ReleaseOwned();
};

// Makes an object of the given type and runs its Init.
template <class T> T* NewObject() {
    T* obj = new T();
    obj->Init();
    return obj;
}

// Destroys the object now, or when its last lock goes; null is ignored.
void FreeObject(BaseObject* obj);
void RefInc(BaseObject* obj);
// True when a free was asked for while the object is locked: it goes at the last unlock.
inline bool IsFreePending(const BaseObject* obj) {
    return obj->RefCount > 0 && obj->RefCount % 2 != 0;
}
// Unlocks; destroys the object when it was freed while locked.
void RefDec(BaseObject* obj);
// obj is freed when owner is destroyed, before the owner's children.
void AddAutoFree(BaseObject* owner, BaseObject* obj);

// The number of objects made and not yet destroyed; for leak checks.
int LiveObjectCount();
