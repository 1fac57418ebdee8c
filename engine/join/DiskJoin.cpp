// The join of a set on removable disks: each disk's check file read and held against the
// others', the pieces the set needs next taken from the disk in the drive, and the disk with
// the next piece asked for until the set is whole.
#include "engine/join/DiskJoin.h"

#include <vector>

#include "engine/checkfile/CheckFile.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/Sha256.h"
#include "engine/join/Gathering.h"
#include "engine/join/JoinOutput.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/RecoverySources.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"

namespace {

// "с 1 диска", "с 3 дисков", "с 21 диска".
std::string FromDisksText(int64_t disks) {
    const bool one = disks % 10 == 1 && disks % 100 != 11;
    return "Набор частей собран с " + DecimalText(disks) + (one ? " диска." : " дисков.");
}

// One join from disks in progress.
class DiskJoiner {
  public:
    DiskJoiner(const std::string& chosenPiecePath, const std::string& targetFolder,
               JoinHooks& hooks, const std::string& root, const std::string& baseName)
        : hooks_(hooks), targetFolder_(targetFolder), pieceFolder_(FolderPart(chosenPiecePath)),
          baseName_(baseName), root_(root), letter_(root.substr(0, 1)),
          outputPath_(targetFolder + baseName_), gathering_(hooks, outputPath_, baseName_) {}

    void Run() {
        if (!OutputFolderUsable() || !OutputReplaceable(outputPath_, hooks_)) return;
        if (!gathering_.Open()) return;
        if (!gathering_.StartChecking(known_) || !GatherFromDisks() ||
            !gathering_.Complete(*whole_)) {
            gathering_.Discard();
            return;
        }
        if (!gathering_.GiveOutputItsName()) return;
        const std::string completed = JoinText() + " завершенно";
        hooks_.ShowMessage(completed + "\r\n" + CheckedLine(known_) + "\r\n" +
                           FromDisksText(disksRead_));
        hooks_.SetStatus(completed);
    }

  private:
    std::string JoinText() const { return RestoringText(outputPath_); }
    std::string PieceAt(int64_t n) const { return PiecePath(pieceFolder_, baseName_, n); }
    int64_t Listed() const { return static_cast<int64_t>(known_.digits.size()); }
    bool Finished() const { return whole_ && next_ > Listed(); }

    // The target folder, off the drive whose disks are swapped, is there or made, and the
    // system can check the pieces; false after telling the user.
    bool OutputFolderUsable() {
        // Each prompt swaps the disk under the output: it would go with the disk taken out.
        if (StartsWithSameName(FullPath(targetFolder_), root_)) {
            hooks_.ShowMessage("Папка " + targetFolder_ +
                               " для соединёного файла находится на диске " + root_ +
                               ", в котором сменяются диски с частями. Выберите папку на другом "
                               "диске.");
            return false;
        }
        if (!MakeOutputFolder(targetFolder_, hooks_)) return false;
        if (HasSha256()) return true;
        hooks_.ShowMessage(NoSha256Text(CheckFileName(baseName_)));
        return false;
    }

    // The disks in the drive one after another, until the set is whole; false after a
    // message, a Cancel or a stop.
    bool GatherFromDisks() {
        bool asked = false; // the disk in the drive came in answer to a prompt for piece next_
        for (;;) {
            const int64_t wanted = next_;
            std::string fault = ReadDisk();
            if (fault.empty()) {
                if (!JoinPiecesOnDisk()) return false;
                if (Finished()) return true;
                if (next_ == wanted && asked)
                    fault =
                        "На диске " + letter_ + " нет части " + PieceName(baseName_, next_) + ".";
            }
            if (!AskForDisk(fault)) return false;
            asked = true;
        }
    }

    // Takes in the check file of the disk in the drive; the text of what is wrong with the
    // disk, empty when its lines agree with every line read before.
    std::string ReadDisk() {
        const CheckLines lines = ReadCheckLines(pieceFolder_, baseName_);
        if (!lines.found)
            return IsExistingFile(PieceAt(next_))
                       ? "На диске " + letter_ + " нет файла проверки " + CheckFileName(baseName_) +
                             "."
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
        return {};
    }

    // A disk of this set lists the pieces written up to it: the lists of two disks agree as
    // far as the shorter goes, and a list that ends the set is never shorter than another.
    bool Agrees(const CheckLines& lines) const {
        const std::vector<std::string>& theirs = lines.check.digits;
        const std::vector<std::string>& ours = known_.digits;
        for (size_t i = 0; i < theirs.size() && i < ours.size(); ++i)
            if (theirs[i] != ours[i]) return false;
        if (whole_ && lines.whole && *whole_ != *lines.whole) return false;
        if (whole_ && theirs.size() > ours.size()) return false;
        if (lines.whole && ours.size() > theirs.size()) return false;
        return true;
    }

    // Appends the pieces the set needs next that the disk in the drive holds.
    bool JoinPiecesOnDisk() {
        const int64_t first = next_;
        while (next_ <= Listed() && IsExistingFile(PieceAt(next_))) {
            if (!AppendPiece(next_)) return false;
            ++next_;
        }
        if (next_ > first) ++disksRead_;
        return true;
    }

    // Asks for the disk with piece next_, telling first what was wrong with the disk in the
    // drive; false on Cancel or a stop.
    bool AskForDisk(const std::string& fault) {
        const std::string prompt = "Вставте диск " + letter_ + " с частью " +
                                   PieceName(baseName_, next_) + " и нажмите Ок.";
        if (!hooks_.AskOkCancel(fault.empty() ? prompt : fault + "\r\n" + prompt)) return Stopped();
        // A close of the window while the box was open asks for a stop.
        return hooks_.KeepGoing() || Stopped();
    }

    // Tells how far the join has got and lets the window run; false when asked to stop. Only
    // the pieces read so far and the one being read have a known size.
    bool YieldToWindow(int64_t pieceDone, int64_t pieceTotal) {
        return hooks_.YieldWithProgress(
            {done_ + pieceDone, done_ + pieceTotal, pieceDone, pieceTotal});
    }

    bool AppendPiece(int64_t n) {
        const std::string path = PieceAt(n);
        const std::string count =
            whole_ ? " из " + DecimalText(Listed()) : ", всего частей пока не известно";
        hooks_.SetStatus(JoinText() + " из части " + path + " (часть " + DecimalText(n) + count +
                         ")");
        FileStream piece = OpenReadStream(path);
        const int64_t size = piece.Size();
        if (!YieldToWindow(0, size)) return Stopped();
        const PieceAppend appended = gathering_.Append(
            piece, path, n, [&](int64_t written) { return YieldToWindow(written, size); });
        switch (appended.outcome) {
        case Appended::Whole:
            done_ += size;
            return true;
        case Appended::Faulty:
            // A set on disks has no recovery file to rebuild the piece from.
            hooks_.ShowMessage(appended.fault);
            return false;
        case Appended::Stopped:
            return Stopped();
        case Appended::Told:
            return false;
        }
        return false;
    }

    bool Stopped() {
        hooks_.SetStatus(JoinText() + " прервано");
        return false;
    }

    JoinHooks& hooks_;
    const std::string targetFolder_;
    const std::string pieceFolder_;
    const std::string baseName_;
    const std::string root_;
    const std::string letter_;
    const std::string outputPath_;
    SetCheck known_;                   // the longest list of pieces read so far
    std::optional<std::string> whole_; // the whole file's digits, once a disk gave them
    int64_t next_ = 1;                 // the piece the set needs next
    int64_t done_ = 0;                 // the bytes joined so far
    int64_t disksRead_ = 0;            // the disks that gave pieces
    Gathering gathering_;
};

} // namespace

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
