// A kept piece's digest on its own lane, a copy that hashes as it writes, and the reading of a
// kept piece beside the source's bytes of it.
#include "engine/split/KeptPieceRead.h"

#include <algorithm>

#include "engine/digest/Sha256.h"

KeptPieceDigest::KeptPieceDigest() : digest_(std::make_unique<Sha256>()) {}

KeptPieceDigest::~KeptPieceDigest() = default;

void KeptPieceDigest::Restart() { digest_ = std::make_unique<Sha256>(); }

void KeptPieceDigest::Add(const char* bytes, uint32_t size, uint32_t tag) {
    if (tag == Tag) digest_->Add(bytes, size);
}

std::optional<std::string> KeptPieceDigest::Finish() { return digest_->Finish(); }

HashingCopyFeed::HashingCopyFeed()
    : buffer_(CopyBufferSize()), digest_(std::make_unique<Sha256>()) {}

HashingCopyFeed::~HashingCopyFeed() = default;

uint32_t HashingCopyFeed::BufferSize() const { return static_cast<uint32_t>(buffer_.size()); }

char* HashingCopyFeed::TakeBuffer() { return buffer_.data(); }

void HashingCopyFeed::Pass(char* buffer, uint32_t size) { digest_->Add(buffer, size); }

std::optional<std::string> HashingCopyFeed::Finish() { return digest_->Finish(); }

SideBySideRead ReadSideBySide(FileStream& source, FileStream& piece, int64_t count,
                              const CopyPace& pace, HashFeed& feed, int pieceLane) {
    SideBySideRead result;
    int64_t& read = result.source.written;
    // Paced by the clock, as a copy is.
    PaceClock clock(pace);
    while (read < count) {
        const uint32_t want =
            static_cast<uint32_t>(std::min<int64_t>(count - read, feed.BufferSize()));
        char* buffer = feed.TakeBuffer();
        const uint32_t got = source.Read(buffer, want);
        // A piece that ran out is short whatever follows: no more of it is read.
        if (result.pieceBytes == read) {
            char* own = feed.TakeBuffer();
            const uint32_t ownGot = piece.Read(own, want);
            // The bytes the two have alike are hashed once for both.
            feed.PassBeside(buffer, got, own, ownGot, pieceLane, KeptPieceDigest::Tag);
            result.pieceBytes += ownGot;
        } else {
            feed.Pass(buffer, got);
        }
        read += got;
        if (got < want) {
            result.source.sourceShort = true;
            return result;
        }
        if (!clock.Go(read)) {
            result.source.stopped = true;
            return result;
        }
    }
    return result;
}
