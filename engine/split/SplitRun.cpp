// What every step of a split shares: the window's turns, opening and copying, the texts of
// their failures, and the check file's lines with the digest state saved beside them.
#include "engine/split/SplitRun.h"

#include "engine/checkfile/SetCheck.h"
#include "engine/pieces/PieceSet.h"

namespace {

// The status bar's word between the names while a piece is written. The count method has
// always said " to " there, the size method " в ".
constexpr char kCountStatusWord[] = " to ";
constexpr char kSizeStatusWord[] = " в ";

} // namespace

SplitRun::SplitRun(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system)
    : request_(request), hooks_(hooks), system_(system), name_(FileNamePart(request.sourcePath)),
      check_(request.targetFolder, name_),
      recovery_(request.targetFolder, name_, request.sourcePath, request.recoverySlices),
      digests_(recovery_, request.recovery),
      statePath_(WholeStatePath(request.targetFolder, name_)) {}

void SplitRun::MeasureSource() {
    fileSize_ = static_cast<int64_t>(LookupFileSize(request_.sourcePath));
}

bool SplitRun::YieldToWindow(int64_t done, int64_t pieceDone, int64_t pieceTotal) {
    return hooks_.YieldWithProgress({done, fileSize_, pieceDone, pieceTotal});
}

bool SplitRun::YieldsBeforeOpening() const { return request_.method == SplitMethod::ByCount; }

void SplitRun::ShowWritingPiece(int64_t n) {
    const char* word = YieldsBeforeOpening() ? kCountStatusWord : kSizeStatusWord;
    hooks_.SetStatus("Разделение файла " + name_ + word + PieceName(name_, n));
}

std::string SplitRun::PieceAt(int64_t n) const {
    return PiecePath(request_.targetFolder, name_, n);
}

bool SplitRun::OpenSource(FileStream& source) {
    source = system_.openSource(request_.sourcePath);
    if (source.IsOpen()) return true;
    hooks_.ShowMessage("Невозможно открыть файл " + name_ + " для чтения!");
    return false;
}

bool SplitRun::OpenTarget(FileStream& target, const std::string& path,
                          const std::string& failText) {
    target = OpenWriteStream(path);
    if (target.IsOpen()) return true;
    hooks_.ShowMessage(failText);
    return false;
}

bool SplitRun::OpenPiece(FileStream& piece, const std::string& path) {
    return OpenTarget(piece, path, PieceNotMadeText(path));
}

CopyResult SplitRun::CopyPiece(FileStream& target, FileStream& source, int64_t size, int64_t start,
                               bool onDisk) {
    return CopyStreamBytes(
        target, source, size,
        [&](int64_t written) {
            return onDisk ? YieldToWindow(start + written, written, size)
                          : YieldToWindow(start + written);
        },
        digests_.Feed());
}

void SplitRun::ShowCopyFailure(const CopyResult& copied, const std::string& failText) {
    hooks_.ShowMessage(copied.sourceShort ? SourceShortText() : failText);
}

std::string SplitRun::SourceShortText() const {
    return "Невозможно прочитать файл " + name_ + " полностью!";
}

std::string SplitRun::PieceShortText(const std::string& path) {
    return "Невозможно записать часть " + path + " полностью!";
}

std::string SplitRun::PieceNotMadeText(const std::string& path) {
    return "Невозможно создание части " + path + "!";
}

void SplitRun::BeginRecoveryBeside(const PiecePlan& plan) {
    recovery_.BeginBeside(hooks_, digests_.Feed(), plan);
    if (recovery_.Active()) digests_.BeginPieceLaneAtFirst();
}

void SplitRun::BeginRecoveryInTemp() {
    recovery_.BeginInTemp(hooks_, digests_.Feed());
    if (recovery_.Active()) digests_.BeginPieceLaneAtFirst();
}

bool SplitRun::SaveCheckFile() {
    if (!digests_.Active()) return true;
    // Even a failed save may have cut an older file: it is this split's from now on.
    checkMade_ = true;
    if (check_.Save()) return true;
    hooks_.ShowMessage("Невозможно создание файла " + check_.Path() + "!");
    return false;
}

bool SplitRun::SaveCheckFile(const KeptPieces& kept) {
    if (!SaveCheckFile()) return false;
    listed_ = ListedDigits(kept.digests);
    for (int64_t n = 1; n <= kept.Count(); ++n) {
        if (!NoteDigest(kept.digests[static_cast<size_t>(n - 1)], PieceName(name_, n), PieceAt(n)))
            return false;
    }
    return true;
}

bool SplitRun::NoteDigest(const std::optional<std::string>& digits, const std::string& name,
                          const std::string& path) {
    if (!digits) {
        hooks_.ShowMessage(DigestFailedText(path));
        return false;
    }
    if (check_.Add(*digits, name)) return true;
    ShowCheckFileShort();
    return false;
}

bool SplitRun::NotePiece(int64_t n) {
    if (!digests_.Active()) return true;
    const std::optional<std::string> digits = digests_.TakePiece(n);
    if (!NoteDigest(digits, PieceName(name_, n), PieceAt(n))) return false;
    listed_.Add(*digits);
    if (savesState_) SaveStateAfterPieces();
    return true;
}

void SplitRun::SaveStateAfterPieces() {
    // A split that cannot save it goes on: a resume then hashes the kept bytes for the whole
    // file too.
    const std::optional<std::string> state = digests_.WholeState();
    if (!state) return;
    // Bound to the lines by a running digest of them: the same cost after every piece.
    const std::optional<StateBinding> binding = listed_.Binding();
    if (binding) SaveWholeState(statePath_, *binding, *state);
}

bool SplitRun::NoteWhole() {
    if (digests_.Active() && !NoteDigest(digests_.TakeWhole(), name_, request_.sourcePath))
        return false;
    // The user may take the disk out at once: the line that completes the set must be on it.
    return FlushCheckFile();
}

bool SplitRun::FlushCheckFile() {
    if (digests_.Active() && !check_.Flush()) {
        ShowCheckFileShort();
        return false;
    }
    check_.Close();
    return true;
}

bool SplitRun::SaveSetCheckFile(int64_t lines) {
    if (check_.KeepFirstLines(lines)) return true;
    hooks_.ShowMessage("Невозможно создание файла " + check_.Path() + "!");
    return false;
}

bool SplitRun::NoteRecoveryFile(const std::string& digits, const std::string& name) {
    // Closed after each line: the user may take the disk out at the next prompt.
    const bool noted = check_.Save() && check_.Add(digits, name) && check_.Flush();
    check_.Close();
    if (!noted) ShowCheckFileShort();
    return noted;
}

void SplitRun::ShowCheckFileShort() {
    hooks_.ShowMessage("Невозможно записать файл " + check_.Path() + " полностью!");
}

void SplitRun::RemoveWholeState() {
    if (IsExistingFile(statePath_)) RemoveFile(statePath_);
}

void SplitRun::RemoveCheckFile() {
    if (checkMade_) {
        check_.Remove();
        // A state saved beside it, by this split or by the one whose file it replaced.
        RemoveWholeState();
    }
    checkMade_ = false;
}

void SplitRun::NoteKeptPieces(const KeptPieces& kept) {
    keptCount_ = kept.Count();
    if (keptCount_ > 0 && savesState_) {
        keptState_ = digests_.WholeState();
        keptBinding_ = ListedDigits(kept.digests).Binding();
    }
}

void SplitRun::KeepEarlierRun() {
    // Not written anew yet: the earlier run's check file and state are as they were.
    if (!checkMade_) return;
    check_.KeepFirstLines(keptCount_);
    checkMade_ = false;
    if (keptState_ && keptBinding_)
        SaveWholeState(statePath_, *keptBinding_, *keptState_);
    else
        RemoveWholeState();
}
