// Copy buffers shared with worker threads: each buffer a copy has written is handed to every
// lane of the feed that is begun, each lane on a thread of its own or on one it shares with
// other lanes, while the copy goes on with the next one. A lane hashes with SHA-256 (an MD5 of the caller's may go beside it, in
// the same pass), or hands the bytes to work of the caller's.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/system/FileServices.h"

class Md5;
class Sha256;

// What a lane does with the buffers passed to it, in order, on the lane's own thread.
class FeedWork {
  public:
    virtual ~FeedWork() = default;
    // tag is what the reader said of the buffer when it handed it to this lane alone (which
    // of its files the bytes are of); 0 for a buffer handed to every lane.
    virtual void Add(const char* bytes, uint32_t size, uint32_t tag) = 0;
    // Whether Add does nothing with buffers of that tag: the lane is then not handed them.
    // Asked by the thread that passes buffers while the lane works: by the tag alone.
    virtual bool Passes(uint32_t) const { return false; }
    // The SHA-256 that Add puts buffers of that tag into, doing nothing else with them; none
    // when it does more. Lanes on one thread hash such buffers in one pass.
    virtual Sha256* DigestFor(uint32_t) { return nullptr; }
};

class HashFeed : public CopyFeed {
  public:
    // lanes workers side by side (a split's piece and whole file), over buffers of bufferSize,
    // each on a thread of its own but those of sharing (bit n for lane n), which share one: a
    // buffer for two of them is hashed in one pass, which on the processor's SHA extensions
    // takes far less than two (the rounds of one digest run while the other's wait). A lane
    // takes no buffers until it begins.
    HashFeed(int lanes, uint32_t bufferSize, uint32_t sharing = 0);
    // Ends the threads on every way out; work not finished is dropped.
    ~HashFeed() override;
    HashFeed(const HashFeed&) = delete;
    HashFeed& operator=(const HashFeed&) = delete;

    // Whether the buffers and the threads were made; fixed from construction on.
    bool Ready() const;
    // Starts a fresh SHA-256 on the lane, after it has done what it was given; false when the
    // system gave no digest (the lane then rests).
    bool Begin(int lane);
    // The same, going on from a state SavedState gave; false when the state is not usable
    // here (the lane then rests).
    bool Begin(int lane, const std::string& savedState);
    // Starts a fresh SHA-256 on the lane as Begin(lane) does, which adds every buffer to beside
    // too, in the same pass; beside must outlive that, until the lane rests or begins again.
    bool Begin(int lane, Md5& beside);
    // Hands every buffer passed from now on to work, after the lane has done what it was
    // given, until the lane rests. work must outlive that.
    void Begin(int lane, FeedWork& work);
    // Waits until the lane has done everything passed to it; its work may then be read.
    void Drain(int lane);
    // Drains the lane; it then takes no buffers until it begins again.
    void Rest(int lane);
    // Drains a SHA-256 lane and rests it: the digits of the bytes passed since it began,
    // nothing when the system failed.
    std::optional<std::string> Finish(int lane);
    // The same digits while the lane goes on hashing what follows.
    std::optional<std::string> Peek(int lane);

    // Drains a SHA-256 lane: where its digest stands, to go on from later; nothing when the
    // digest cannot tell (the system's).
    std::optional<std::string> SavedState(int lane);

    uint32_t BufferSize() const override;
    char* TakeBuffer() override;
    void Pass(char* buffer, uint32_t size) override;
    // Hands the buffer to that lane only (nothing when it rests), with a tag for its work,
    // for a reader that reads several files at once.
    void PassTo(char* buffer, uint32_t size, int lane, uint32_t tag);
    // Passes buffer as Pass does and own to that lane as PassTo does, both at once, so that a
    // lane on one thread with another that takes buffer takes the two in one pass: the bytes
    // they have alike once for both while their digests stand at the same place (a resume's
    // kept piece beside the source's bytes of it).
    void PassBeside(char* buffer, uint32_t size, char* own, uint32_t ownSize, int lane,
                    uint32_t tag);

  private:
    // Drains the lane: its SHA-256, which nothing touches until the next buffer is passed;
    // none when it has none or the feed is not ready.
    const Sha256* DrainedDigest(int lane);

    struct State;
    std::unique_ptr<State> state_;
};
