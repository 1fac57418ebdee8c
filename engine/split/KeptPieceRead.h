// A resumed split proves each kept piece by its own bytes: the piece is read beside the
// source's bytes of it, the source's going to the file's digests as a copy's would, the
// piece's to a lane of the feed of their own.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/system/FileServices.h"
#include "engine/digest/HashFeed.h"

class Sha256;

// The kept piece's SHA-256, as the work of its lane: it takes the buffers handed to that lane
// alone, and passes over the source's, which every begun lane is handed.
class KeptPieceDigest : public FeedWork {
  public:
    // The tag the piece's buffers are handed with.
    static constexpr uint32_t Tag = 1;

    KeptPieceDigest();
    ~KeptPieceDigest() override;
    // A fresh digest, for the next piece; only while the lane has nothing to do.
    void Restart();
    void Add(const char* bytes, uint32_t size, uint32_t tag) override;
    bool Passes(uint32_t tag) const override { return tag != Tag; }
    Sha256* DigestFor(uint32_t) override { return digest_.get(); }
    // The digits of the piece's bytes; nothing when the system failed. Only once the lane has
    // done everything handed to it.
    std::optional<std::string> Finish();

  private:
    std::unique_ptr<Sha256> digest_;
};

// One buffer for a copy, whose bytes are hashed on the copying thread as each run is written:
// a piece written again is proven to hold the bytes of its line.
class HashingCopyFeed : public CopyFeed {
  public:
    HashingCopyFeed();
    ~HashingCopyFeed() override;
    uint32_t BufferSize() const override;
    char* TakeBuffer() override;
    void Pass(char* buffer, uint32_t size) override;
    // The digits of the bytes written; nothing when the system failed.
    std::optional<std::string> Finish();

  private:
    std::vector<char> buffer_;
    std::unique_ptr<Sha256> digest_;
};

// What a reading side by side took: the source's bytes (sourceShort when it ran out, stopped
// when pace asked to), and the piece's.
struct SideBySideRead {
    CopyResult source;
    int64_t pieceBytes = 0;
};

// Reads count bytes from the source's position through the feed, handing each run to every
// begun lane as ReadThroughFeed does, and as many from the piece's position beside them, each
// of its runs handed to pieceLane alone with KeptPieceDigest::Tag. pace as for
// CopyStreamBytes.
SideBySideRead ReadSideBySide(FileStream& source, FileStream& piece, int64_t count,
                              const CopyPace& pace, HashFeed& feed, int pieceLane);
