// The split's hashing: one feed whose lanes hash the copy's buffers beside it, each on a thread
// of its own: the piece being written, the whole file, a kept piece's own bytes, and the
// recovery file's share.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/digest/HashFeed.h"
#include "engine/split/KeptPieceRead.h"

class SplitRecovery;

class SplitDigests {
  public:
    // recovery takes the pieces' MD5 from the piece lane while it is active; recoveryAsked
    // gives it a lane of its own.
    SplitDigests(SplitRecovery& recovery, bool recoveryAsked);
    SplitDigests(const SplitDigests&) = delete;
    SplitDigests& operator=(const SplitDigests&) = delete;

    // Starts the feed with the whole file's lane begun. Without a SHA-256 from the system
    // (older than Windows XP SP3) there is none, and the set has no check file.
    void Start();
    // Drops the feed and starts it afresh, for a split that starts over from byte 0.
    void Restart();
    bool Active() const { return feed_ != nullptr; }
    // The copy's feed; null while none is active.
    HashFeed* Feed() const { return feed_.get(); }

    // The piece lane rests through piece 1: piece 1 starts the file, so its digits are the
    // whole file's digest so far, and those bytes are hashed once. It begins at piece 1 too
    // from this call on: while the whole file's lane rests, or the recovery file takes the
    // pieces' MD5 from it.
    void BeginPieceLaneAtFirst();
    // The digits of piece n, whose bytes have all been passed; the piece lane begins anew.
    std::optional<std::string> TakePiece(int64_t n);
    // The whole file's digits, once every byte has been passed.
    std::optional<std::string> TakeWhole();
    // Where the whole file's digest stands, for a resume; nothing when it cannot tell.
    std::optional<std::string> WholeState();
    // The whole file's lane rests while kept pieces are checked from a saved state...
    void RestWhole();
    // ...and goes on from that state after them; false when the state is not usable here.
    bool ResumeWhole(const std::string& state);

    // A kept piece's own bytes go to a lane of their own from here until RestKept.
    void BeginKept();
    // Reads size bytes of the source through the feed and as many of the kept piece beside
    // them, for the kept piece's lane; pace as for CopyStreamBytes.
    SideBySideRead ReadKept(FileStream& source, FileStream& piece, int64_t size,
                            const CopyPace& pace);
    // The digits of the kept piece's own bytes read last; nothing when the system failed.
    std::optional<std::string> KeptDigits();
    void RestKept();

  private:
    // The lane the kept pieces are hashed on, after the others.
    int KeptLane() const;
    uint32_t SharedLanes() const;
    // With the recovery file the piece's MD5 is taken beside its SHA-256, in the same pass.
    void BeginPieceLane();

    SplitRecovery& recovery_;
    const bool recoveryAsked_;
    KeptPieceDigest kept_;           // before the feed: its lane works for it
    std::unique_ptr<HashFeed> feed_; // none when the system has no SHA-256
    bool pieceLaneAtFirst_ = false;  // the piece lane, not the whole file's, gives piece 1's digits
};
