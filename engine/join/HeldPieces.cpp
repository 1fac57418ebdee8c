// The work files of the pieces held after a lost one: made, filled and checked, appended, removed.
#include "engine/join/HeldPieces.h"

#include "engine/checkfile/SetCheck.h"
#include "engine/system/Text.h"
#include "engine/system/WorkFile.h"

namespace {

// The names tried for piece n's file beyond "<output>.~part<n>": a file of the user's under a
// name is left alone.
constexpr int kSpareNames = 100;

PieceAppend Faulty(int64_t written) { return {Appended::Faulty, written, {}}; }

} // namespace

HeldPieces::HeldPieces(JoinHooks& hooks, const std::string& outputPath)
    : hooks_(hooks), outputPath_(outputPath) {}

HeldPieces::~HeldPieces() {
    for (const auto& [n, path] : held_) RemoveFile(path);
}

std::string HeldPieces::MakeFile(int64_t n) {
    const std::string first = outputPath_ + ".~part" + DecimalText(n);
    for (int i = 1; i <= kSpareNames; ++i) {
        const std::string path = i == 1 ? first : first + "-" + DecimalText(i);
        if (IsExistingFile(path) || IsExistingFolder(path)) continue;
        // Made only where no file is, so that it is never another's that goes at the end.
        if (!WorkFile(path, WorkFileMaking::OnlyNew).IsOpen()) break;
        held_[n] = path;
        return path;
    }
    hooks_.ShowMessage("Невозможно создание файла " + first + "!");
    return {};
}

PieceAppend HeldPieces::Hold(FileStream& piece, const std::string& path, int64_t n,
                             const std::string& digits, const CopyPace& pace) {
    const int64_t size = piece.Size();
    // A split never writes an empty piece; one that is empty was cut short.
    if (!piece.IsOpen() || size <= 0) return Faulty(0);
    if (!feed_) feed_ = std::make_unique<HashFeed>(1, CopyBufferSize());
    if (!feed_->Ready() || !feed_->Begin(0)) {
        hooks_.ShowMessage(DigestFailedText(path));
        return {};
    }
    const std::string workPath = MakeFile(n);
    if (workPath.empty()) return {};
    FileStream work = OpenWriteStream(workPath);
    const CopyResult copied = CopyStreamBytes(work, piece, size, pace, feed_.get());
    const std::optional<std::string> got = feed_->Finish(0);
    const bool flushed = work.Flush();
    work.Close();
    PieceAppend result{Appended::Whole, copied.written, {}};
    if (copied.stopped) {
        result.outcome = Appended::Stopped;
    } else if (copied.written != size && copied.sourceShort) {
        result = Faulty(copied.written);
    } else if (copied.written != size || !flushed) {
        hooks_.ShowMessage("Невозможно записать файл " + workPath +
                           " полностью! Возможно, на диске нет места.");
        result.outcome = Appended::Told;
    } else if (!got) {
        hooks_.ShowMessage(DigestFailedText(path));
        result.outcome = Appended::Told;
    } else if (*got != digits) {
        result = Faulty(size);
    }
    if (result.outcome != Appended::Whole) Release(n);
    return result;
}

std::string HeldPieces::PathOf(int64_t n) const {
    const auto at = held_.find(n);
    return at == held_.end() ? std::string() : at->second;
}

void HeldPieces::Release(int64_t n) {
    const auto at = held_.find(n);
    if (at == held_.end()) return;
    RemoveFile(at->second);
    held_.erase(at);
}
