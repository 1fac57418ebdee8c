// Appending the pieces to the gathering file, each checked against its line on the feed's
// piece lane and the whole file on a lane of its own, and giving the file the output's name.
#include "engine/join/Gathering.h"

#include "engine/checkfile/CheckFile.h"
#include "engine/join/JoinOutput.h"

namespace {

// The lanes of a checked join's feed: each piece's digest, and the whole file's beside it, both
// over the bytes as they are copied, on one thread that takes both digests of a buffer in one
// pass.
constexpr int kPieceLane = 0;
constexpr int kWholeLane = 1;
constexpr int kLanes = 2;
constexpr uint32_t kSharedLanes = 1u << kPieceLane | 1u << kWholeLane;

std::string PieceUnreadText(const std::string& path) {
    return "Невозможно прочитать часть " + path + " полностью!";
}

PieceAppend Faulty(int64_t written, const std::string& fault) {
    return {Appended::Faulty, written, fault};
}

} // namespace

Gathering::Gathering(JoinHooks& hooks, const std::string& outputPath, const std::string& baseName)
    : hooks_(hooks), outputPath_(outputPath), gatherPath_(GatheringPath(outputPath)),
      baseName_(baseName) {}

bool Gathering::Open() {
    output_ = OpenWriteStream(gatherPath_);
    if (!output_.IsOpen()) {
        // The gathering file is the join's own business: the user chose the output.
        ShowOutputNotMade(outputPath_, hooks_);
        return false;
    }
    owned_ = true;
    // A file left by an earlier join that was cut short holds old bytes; start empty.
    output_.Write(nullptr, 0);
    return true;
}

bool Gathering::StartChecking(const SetCheck& check) {
    feed_ = std::make_unique<HashFeed>(kLanes, CopyBufferSize(), kSharedLanes);
    check_ = &check;
    if (feed_->Ready() && feed_->Begin(kPieceLane) && feed_->Begin(kWholeLane)) return true;
    hooks_.ShowMessage(NoSha256Text(CheckFileName(baseName_)));
    return false;
}

PieceAppend Gathering::Append(FileStream& piece, const std::string& path, int64_t n,
                              const CopyPace& pace) {
    if (!piece.IsOpen()) {
        hooks_.ShowMessage("Невозможно открыть часть " + path + " для чтения!");
        return {};
    }
    const int64_t size = piece.Size();
    // A split never writes an empty piece; one that is empty was cut short.
    if (size <= 0) return Faulty(0, "Часть " + path + " пуста!");
    const CopyResult copied = CopyStreamBytes(output_, piece, size, pace, feed_.get());
    if (copied.stopped) return {Appended::Stopped, copied.written, {}};
    if (copied.written != size) {
        if (copied.sourceShort) return Faulty(copied.written, PieceUnreadText(path));
        ShowWriteFailed();
        return {Appended::Told, copied.written, {}};
    }
    if (!feed_) return {Appended::Whole, size, {}};
    const std::optional<std::string> digits = feed_->Finish(kPieceLane);
    if (!digits) {
        ShowDigestFailed(path);
        return {Appended::Told, size, {}};
    }
    feed_->Begin(kPieceLane);
    if (*digits != check_->digits[static_cast<size_t>(n - 1)])
        return Faulty(size, DamagedPieceText(path, *check_));
    return {Appended::Whole, size, {}};
}

bool Gathering::Rewind(int64_t start) {
    return output_.Seek(start, SeekOrigin::FromBeginning) == start;
}

bool Gathering::RestartDigests(const std::vector<std::string>& earlier, const std::string& next) {
    // Only after such a rebuild; a sound set is read once.
    feed_->Rest(kPieceLane);
    if (!feed_->Begin(kWholeLane)) return ShowDigestFailed(outputPath_);
    const CopyPace pace = [&](int64_t) { return hooks_.KeepGoing(); };
    for (const std::string& path : earlier) {
        FileStream piece = OpenReadStream(path);
        const int64_t size = piece.Size();
        const CopyResult read = ReadThroughFeed(piece, size, pace, *feed_);
        if (read.stopped) return false;
        if (size <= 0 || read.written != size) {
            hooks_.ShowMessage(PieceUnreadText(path));
            return false;
        }
    }
    return feed_->Begin(kPieceLane) || ShowDigestFailed(next);
}

bool Gathering::Pause() {
    if (output_.Flush()) {
        output_.Close();
        return true;
    }
    ShowWriteFailed();
    return false;
}

bool Gathering::Resume(int64_t at, bool digestAgain) {
    if (digestAgain) {
        feed_->Rest(kPieceLane);
        if (!feed_->Begin(kWholeLane)) return ShowDigestFailed(outputPath_);
        FileStream gathered = OpenReadStream(gatherPath_);
        const CopyResult read = ReadThroughFeed(
            gathered, at, [&](int64_t) { return hooks_.KeepGoing(); }, *feed_);
        if (read.stopped) return false;
        if (read.written != at) {
            hooks_.ShowMessage("Невозможно прочитать файл " + gatherPath_ + " полностью!");
            return false;
        }
        if (!feed_->Begin(kPieceLane)) return ShowDigestFailed(outputPath_);
    }
    output_ = OpenWriteStream(gatherPath_);
    if (output_.IsOpen() && output_.Seek(at, SeekOrigin::FromBeginning) == at) {
        output_.Write(nullptr, 0);
        return true;
    }
    ShowOutputNotMade(outputPath_, hooks_);
    return false;
}

bool Gathering::Complete(const std::string& whole) {
    if (!output_.Flush()) {
        ShowWriteFailed();
        return false;
    }
    if (!feed_) return true;
    // Pieces that each match their lines may still make another file (a check file whose
    // lines were put together from two splits).
    const std::optional<std::string> digits = feed_->Finish(kWholeLane);
    if (!digits) return ShowDigestFailed(outputPath_);
    if (*digits == whole) return true;
    hooks_.ShowMessage(WholeFileMismatchText(baseName_, *check_));
    return false;
}

bool Gathering::GiveOutputItsName() {
    output_.Close();
    owned_ = false;
    if (ReplaceFileWith(gatherPath_, outputPath_)) return true;
    ShowOutputRefused(outputPath_, hooks_);
    RemoveFile(gatherPath_);
    return false;
}

Gathering::~Gathering() {
    // Closed, too, while a rebuild reads it.
    if (owned_) Discard();
}

void Gathering::Discard() {
    output_.Close();
    owned_ = false;
    RemoveFile(gatherPath_);
}

bool Gathering::ShowDigestFailed(const std::string& path) {
    hooks_.ShowMessage(DigestFailedText(path));
    return false;
}

void Gathering::ShowWriteFailed() {
    hooks_.ShowMessage("Невозможно записать файл " + outputPath_ +
                       " полностью! Возможно, на диске нет места.");
}
