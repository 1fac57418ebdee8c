// The split's hashing lanes: which lane gives a piece's digits, the whole file's, and a kept
// piece's own.
#include "engine/split/SplitDigests.h"

#include "engine/digest/Sha256.h"
#include "engine/split/SplitRecovery.h"

namespace {

// The hashing lanes of a split: the piece being written, and the whole file.
constexpr int kPieceLane = 0;
constexpr int kWholeLane = 1;

} // namespace

SplitDigests::SplitDigests(SplitRecovery& recovery, bool recoveryAsked)
    : recovery_(recovery), recoveryAsked_(recoveryAsked) {}

void SplitDigests::Start() {
    if (!HasSha256()) return;
    feed_ = std::make_unique<HashFeed>(KeptLane() + 1, CopyBufferSize(), SharedLanes());
    if (!feed_->Ready() || !feed_->Begin(kWholeLane)) feed_.reset();
}

// The SHA-256 lanes on one thread, each buffer in one pass for those that take it: the piece's
// and the whole file's, and the kept piece's beside the source's. The piece lane that takes an
// MD5 beside for the recovery file keeps a thread of its own.
uint32_t SplitDigests::SharedLanes() const {
    return recoveryAsked_ ? 0 : 1u << kPieceLane | 1u << kWholeLane | 1u << KeptLane();
}

void SplitDigests::Restart() {
    feed_.reset();
    Start();
    pieceLaneAtFirst_ = false;
}

int SplitDigests::KeptLane() const { return recoveryAsked_ ? SplitRecovery::FeedLanes : 2; }

void SplitDigests::BeginPieceLane() {
    if (recovery_.Active())
        feed_->Begin(kPieceLane, recovery_.PieceMd5());
    else
        feed_->Begin(kPieceLane);
}

void SplitDigests::BeginPieceLaneAtFirst() {
    pieceLaneAtFirst_ = true;
    BeginPieceLane();
}

std::optional<std::string> SplitDigests::TakePiece(int64_t n) {
    const std::optional<std::string> digits =
        n == 1 && !pieceLaneAtFirst_ ? feed_->Peek(kWholeLane) : feed_->Finish(kPieceLane);
    recovery_.EndPiece(*feed_, n);
    BeginPieceLane();
    return digits;
}

std::optional<std::string> SplitDigests::TakeWhole() { return feed_->Finish(kWholeLane); }

std::optional<std::string> SplitDigests::WholeState() { return feed_->SavedState(kWholeLane); }

void SplitDigests::RestWhole() { feed_->Rest(kWholeLane); }

bool SplitDigests::ResumeWhole(const std::string& state) { return feed_->Begin(kWholeLane, state); }

void SplitDigests::BeginKept() { feed_->Begin(KeptLane(), kept_); }

SideBySideRead SplitDigests::ReadKept(FileStream& source, FileStream& piece, int64_t size,
                                      const CopyPace& pace) {
    kept_.Restart();
    return ReadSideBySide(source, piece, size, pace, *feed_, KeptLane());
}

std::optional<std::string> SplitDigests::KeptDigits() {
    feed_->Drain(KeptLane());
    return kept_.Finish();
}

void SplitDigests::RestKept() { feed_->Rest(KeptLane()); }
