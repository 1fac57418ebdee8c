// The recovery file a split writes beside its pieces when asked: it takes the bytes of every
// piece from the copy's buffers and never reads a piece back. Each piece's MD5 is taken by the
// split's piece lane beside its SHA-256 and handed over as the piece ends; the CRC-32, the first
// bytes' MD5 and, for one recovery slice, the XOR of the pieces are taken on a lane of the feed
// of their own. The XOR builds up in a work file, which ends up as the whole recovery file,
// "<file name>.par2", ready to take its name. Several recovery slices are made at the end from
// the source (RecoverySlices.h), into the same work file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/digest/HashFeed.h"
#include "engine/digest/Md5.h"
#include "engine/recovery/RecoverySlices.h"

// What the recovery file names as its maker.
inline constexpr const char* RecoveryCreator = "Varnok 0.97";

class RecoveryWriter {
  public:
    // The work file at workPath is made afresh, for a file of that many recovery slices.
    explicit RecoveryWriter(const std::string& workPath, uint32_t slices = 1);
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // Whether the work file could be made; false also once a write to it failed.
    bool Ready() const;
    const std::string& WorkPath() const;
    // From now on the buffers the feed is passed go to its lane parityLane, as bytes of the
    // first piece.
    void Start(HashFeed& feed, int parityLane);
    // The bytes passed since the last call are the piece of that name (CP1251), whose MD5 is
    // whole (complete: its lane drained); the next bytes start the next piece.
    void EndPiece(HashFeed& feed, const std::string& pieceName, const Md5& whole);
    // The piece to come is the last, with that name (CP1251) and length, in a set whose slice
    // has sliceSize bytes: its bytes XORed into the earlier pieces' are the recovery slice's
    // final bytes, and the recovery packet's digest is taken along with them rather than
    // reading the slice back at the end. Between pieces only: after the EndPiece before it.
    void ExpectLastPiece(const std::string& pieceName, uint64_t length, uint64_t sliceSize);
    // The pieces ended so far.
    int64_t Pieces() const;
    // The bytes the finished file holds.
    uint64_t FileBytes() const;
    // The recovery slices the file holds, and the bytes of each one's packet once complete.
    uint32_t Slices() const;
    uint64_t RecoveryPacketBytes() const;
    // No more recovery slices than most (at least one): a set on disks learns its piece count
    // only at its end. Before Complete.
    void LimitSlices(uint32_t most);
    // Makes the work file the whole recovery file of the pieces ended, written to the disk;
    // false when it cannot be. One recovery slice only.
    bool Complete();
    // The same for any count of recovery slices, made from the pieces' bytes in the file at
    // sourcePath, where they follow each other from its first byte; keepGoing as for
    // MakeRecoverySlices.
    SlicesMade Complete(const std::string& sourcePath,
                        const std::function<bool(uint64_t done)>& keepGoing);
    // Closes the work file; it stays where it is.
    void Close();

  private:
    struct State;
    std::unique_ptr<State> state_;
};
