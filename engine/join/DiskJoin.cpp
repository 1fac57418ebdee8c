// The join of a set on removable disks: each disk's check file read and held against the
// others', the pieces the set needs next taken from the disk in the drive, and the disk with
// the next piece asked for until every piece is read or noted as lost.
#include "engine/join/DiskJoin.h"

#include <algorithm>
#include <vector>

#include "engine/checkfile/CheckFile.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/Sha256.h"
#include "engine/join/DiskJoinTexts.h"
#include "engine/join/DiskJoiner.h"
#include "engine/join/JoinOutput.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/RecoverySources.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"

DiskJoiner::DiskJoiner(const std::string& chosenPiecePath, const std::string& targetFolder,
                       JoinHooks& hooks, const std::string& root, const std::string& baseName)
    : hooks_(hooks), targetFolder_(targetFolder), pieceFolder_(FolderPart(chosenPiecePath)),
      baseName_(baseName), root_(root), letter_(root.substr(0, 1)),
      outputPath_(targetFolder + baseName_), gathering_(hooks, outputPath_, baseName_),
      held_(hooks, outputPath_), copies_(hooks, outputPath_, baseName_),
      rebuild_(hooks, pieceFolder_, baseName_, outputPath_) {}

void DiskJoiner::Run() {
    if (!OutputFolderUsable() || !OutputReplaceable(outputPath_, hooks_)) return;
    if (!gathering_.Open()) return;
    if (!gathering_.StartChecking(known_) || !GatherFromDisks() || !RecoverLost() ||
        !gathering_.Complete(*whole_)) {
        gathering_.Discard();
        return;
    }
    // Told in texts made before the output takes its name, so that nothing after it can fail.
    const std::string completed = JoinText() + " завершенно";
    const std::string told = completed + "\r\n" + CheckedLine(known_) + "\r\n" +
                             FromDisksText(disksRead_) + rebuild_.DoneLine();
    if (!gathering_.GiveOutputItsName()) return;
    // Gone before the user is told: the folder then holds the output alone.
    rebuild_.RemoveWorkFiles();
    hooks_.ShowMessage(told);
    hooks_.SetStatus(completed);
}

std::string DiskJoiner::JoinText() const { return RestoringText(outputPath_); }

std::string DiskJoiner::PieceAt(int64_t n) const { return PiecePath(pieceFolder_, baseName_, n); }

bool DiskJoiner::OutputFolderUsable() {
    // Each prompt swaps the disk under the output: it would go with the disk taken out.
    if (StartsWithSameName(FullPath(targetFolder_), root_)) {
        hooks_.ShowMessage("Папка " + targetFolder_ + " для соединёного файла находится на диске " +
                           root_ +
                           ", в котором сменяются диски с частями. Выберите папку на другом "
                           "диске.");
        return false;
    }
    if (!MakeOutputFolder(targetFolder_, hooks_)) return false;
    if (HasSha256()) return true;
    hooks_.ShowMessage(NoSha256Text(CheckFileName(baseName_)));
    return false;
}

// The disks in the drive one after another, until every piece is read or lost; false after a
// message, a Cancel or a stop.
bool DiskJoiner::GatherFromDisks() {
    bool asked = false;   // the disk in the drive came in answer to a prompt for piece next_
    bool inserted = true; // a disk not read yet may be in the drive
    std::string fault;
    for (;;) {
        if (inserted) {
            const int64_t wanted = next_;
            fault = ReadDisk();
            if (fault.empty()) {
                if (!TakePiecesOnDisk()) return false;
                if (!Finished() && next_ == wanted && asked)
                    fault =
                        "На диске " + letter_ + " нет части " + PieceName(baseName_, next_) + ".";
            }
        }
        if (Finished()) return true;
        const Reply reply = AskForDisk(fault);
        if (reply == Reply::Cancel) return false;
        asked = true;
        inserted = reply == Reply::Yes;
        fault.clear();
        // "Нет": the disk is not there; the next one is asked for with the drive as it is.
        if (reply == Reply::No) lost_.push_back(next_++);
    }
}

// Takes in the check file of the disk in the drive; the text of what is wrong with the disk,
// empty when its lines agree with every line read before.
std::string DiskJoiner::ReadDisk() {
    const CheckLines lines = ReadCheckLines(pieceFolder_, baseName_);
    if (!lines.found)
        return IsExistingFile(PieceAt(next_))
                   ? "На диске " + letter_ + " нет файла проверки " + CheckFileName(baseName_) + "."
                   : "На диске " + letter_ + " нет части " + PieceName(baseName_, next_) + ".";
    if (!lines.refusal.empty()) return lines.refusal;
    if (!Agrees(lines))
        return "Диск " + letter_ + " относится к другому набору частей: его файл проверки " +
               lines.check.name + " не совпадает с файлами проверки прочитанных дисков.";
    known_.name = lines.check.name;
    if (lines.check.digits.size() > known_.digits.size()) {
        known_.digits = lines.check.digits;
        hooks_.ShowPieceList(PiecePaths(pieceFolder_, baseName_, Listed()));
    }
    if (lines.whole) whole_ = lines.whole;
    // "Нет" to a piece past the set's end, while its count was not known, lost nothing.
    if (whole_)
        lost_.erase(
            std::remove_if(lost_.begin(), lost_.end(), [&](int64_t n) { return n > Listed(); }),
            lost_.end());
    for (const CheckEntry& entry : lines.recovery)
        if (std::none_of(listed_.begin(), listed_.end(),
                         [&](const std::string& name) { return SameName(name, entry.name); }))
            listed_.push_back(entry.name);
    return {};
}

// A disk of this set lists the pieces written up to it: the lists of two disks agree as far
// as the shorter goes, and a list that ends the set is never shorter than another.
bool DiskJoiner::Agrees(const CheckLines& lines) const {
    const std::vector<std::string>& theirs = lines.check.digits;
    const std::vector<std::string>& ours = known_.digits;
    for (size_t i = 0; i < theirs.size() && i < ours.size(); ++i)
        if (theirs[i] != ours[i]) return false;
    if (whole_ && lines.whole && *whole_ != *lines.whole) return false;
    if (whole_ && theirs.size() > ours.size()) return false;
    if (lines.whole && ours.size() > theirs.size()) return false;
    return true;
}

// Takes the pieces the set needs next that the disk in the drive holds.
bool DiskJoiner::TakePiecesOnDisk() {
    const int64_t first = next_;
    const size_t lostBefore = lost_.size();
    while (next_ <= Listed() && IsExistingFile(PieceAt(next_))) {
        if (!TakePiece(next_)) return false;
        ++next_;
    }
    // A disk counts when it gave a piece whole.
    if (static_cast<size_t>(next_ - first) > lost_.size() - lostBefore) ++disksRead_;
    return true;
}

// Asks for the disk with piece next_, telling first what was wrong with the disk in the
// drive; Cancel also on a stop.
Reply DiskJoiner::AskForDisk(const std::string& fault) {
    const bool pastTheEnd = !whole_ && !lost_.empty();
    const Reply reply = hooks_.AskYesNoCancel(
        PieceDiskQuestion(fault, letter_, PieceName(baseName_, next_), pastTheEnd));
    // A close of the window while the box was open asks for a stop.
    if (reply == Reply::Cancel || !hooks_.KeepGoing()) {
        Stopped();
        return Reply::Cancel;
    }
    return reply;
}

// Tells how far the join has got and lets the window run; false when asked to stop. Only the
// pieces read so far and the one being read have a known size.
bool DiskJoiner::YieldToWindow(int64_t pieceDone, int64_t pieceTotal) {
    return hooks_.YieldWithProgress({done_ + pieceDone, done_ + pieceTotal, pieceDone, pieceTotal});
}

// Appends piece n to the gathering file while no piece before it is lost, else holds it in a
// work file; a piece that fails its line or cannot be read whole is lost, told once.
bool DiskJoiner::TakePiece(int64_t n) {
    const std::string path = PieceAt(n);
    const std::string count =
        whole_ ? " из " + DecimalText(Listed()) : ", всего частей пока не известно";
    hooks_.SetStatus(JoinText() + " из части " + path + " (часть " + DecimalText(n) + count + ")");
    FileStream piece = OpenReadStream(path);
    const int64_t size = std::max<int64_t>(piece.Size(), 0);
    if (!YieldToWindow(0, size)) return Stopped();
    const CopyPace pace = [&](int64_t written) { return YieldToWindow(written, size); };
    PieceAppend taken{Appended::Faulty, 0, {}};
    if (piece.IsOpen())
        taken = lost_.empty() ? gathering_.Append(piece, path, n, pace)
                              : held_.Hold(piece, path, n, known_.digits[n - 1], pace);
    switch (taken.outcome) {
    case Appended::Whole:
        done_ += size;
        if (!lost_.empty()) return true;
        gathered_.push_back(gatheredBytes_);
        gatheredBytes_ += size;
        return true;
    case Appended::Faulty:
        // A disk damaged in the drive loses its piece as a disk not there does.
        spoiled_ = spoiled_ || (lost_.empty() && taken.written > 0);
        lost_.push_back(n);
        hooks_.ShowMessage(LostOnDiskText(path));
        return true;
    case Appended::Stopped:
        return Stopped();
    case Appended::Told:
        return false;
    }
    return false;
}

bool DiskJoiner::Stopped() {
    hooks_.SetStatus(JoinText() + " прервано");
    return false;
}

bool JoinsFromDisks(const std::string& chosenPiecePath, const JoinSystem& system) {
    const std::optional<std::string> baseName = SetNameOf(FileNamePart(chosenPiecePath));
    if (!baseName || !system.removableRoot(chosenPiecePath)) return false;
    const std::string folder = FolderPart(chosenPiecePath);
    const CheckLines lines = ReadCheckLines(folder, *baseName);
    // Without a check file nothing tells which piece is last; a faulty one is told by the join
    // in the folder.
    if (!lines.found || !lines.refusal.empty()) return false;
    if (!lines.whole) return true;
    int64_t missing = 0;
    for (int64_t n = 1; n <= static_cast<int64_t>(lines.check.digits.size()); ++n)
        if (!IsExistingFile(PiecePath(folder, *baseName, n))) ++missing;
    // A complete check file with no more pieces lost than the recovery data beside it holds
    // slices: the set is here, and the join in the folder rebuilds them.
    const bool rebuilt =
        missing > 0 && static_cast<size_t>(missing) <= CountRecoverySlices(folder, *baseName);
    return missing > 0 && !rebuilt;
}

void JoinFromDisks(const std::string& chosenPiecePath, const std::string& targetFolder,
                   JoinHooks& hooks, const JoinSystem& system) {
    const std::optional<std::string> root = system.removableRoot(chosenPiecePath);
    const std::optional<std::string> baseName = SetNameOf(FileNamePart(chosenPiecePath));
    if (!root || !baseName) return;
    DiskJoiner(chosenPiecePath, targetFolder, hooks, *root, *baseName).Run();
}
