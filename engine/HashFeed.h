// Copy buffers shared with hashing threads: each buffer a copy has written is hashed by every
// lane of the feed, each lane on a thread of its own, while the copy goes on with the next one.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/FileServices.h"

class Sha256;

class HashFeed : public CopyFeed {
  public:
    // lanes digests side by side (a split's piece and whole file), over buffers of bufferSize.
    // A lane takes no buffers until it begins.
    HashFeed(int lanes, uint32_t bufferSize);
    // Ends the threads on every way out; digests not finished are dropped.
    ~HashFeed() override;
    HashFeed(const HashFeed&) = delete;
    HashFeed& operator=(const HashFeed&) = delete;

    // Whether the threads run and the system gave every lane begun a digest.
    bool Ready() const;
    // Starts the lane's digest anew, after it has hashed what it was given.
    void Begin(int lane);
    // Waits until the lane has hashed everything passed to it; the digits of the bytes passed
    // since it began, nothing when the system failed. The lane then takes no buffers until
    // it begins again.
    std::optional<std::string> Finish(int lane);
    // The same digits while the lane goes on hashing what follows.
    std::optional<std::string> Peek(int lane);

    uint32_t BufferSize() const override;
    char* TakeBuffer() override;
    void Pass(char* buffer, uint32_t size) override;

  private:
    // Waits until the lane has hashed everything passed to it; its digest, none if resting.
    Sha256* Hashed(int lane);

    struct State;
    std::unique_ptr<State> state_;
};
