#include "engine/join/DiskJoin.h"

#include <memory>
#include <vector>

#include "engine/checkfile/CheckFile.h"
#include "engine/system/FileServices.h"
#include "engine/digest/HashFeed.h"
#include "engine/join/JoinOutput.h"
#include "engine/recovery/Par2.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/Sha256.h"
#include "engine/system/Text.h"

namespace {

// The base name of the set a chosen piece belongs to: its name before the last "_".
std::optional<std::string> BaseNameOf(const std::string& chosenPiecePath) {
    const std::string name = FileNamePart(chosenPiecePath);
    const size_t cut = name.rfind('_');
    if (cut == std::string::npos) return std::nullopt;
    return name.substr(0, cut);
}

// The lanes of the feed: each piece's digest, and the whole file's beside it, on one thread
// that takes both digests of a buffer in one pass.
constexpr int kPieceLane = 0;
constexpr int kWholeLane = 1;
constexpr int kLanes = 2;
constexpr uint32_t kSharedLanes = 1u << kPieceLane | 1u << kWholeLane;

// "с 1 диска", "с 3 дисков", "с 21 диска".
std::string FromDisksText(int64_t disks) {
    const bool one = disks % 10 == 1 && disks % 100 != 11;
    return "Набор частей собран с " + DecimalText(disks) + (one ? " диска." : " дисков.");
}

// One join from disks in progress.
class DiskJoiner {
  public:
    DiskJoiner(const std::string& chosenPiecePath, const std::string& targetFolder,
               JoinHooks& hooks, const std::string& root)
        : hooks_(hooks), targetFolder_(targetFolder), pieceFolder_(FolderPart(chosenPiecePath)),
          baseName_(*BaseNameOf(chosenPiecePath)), root_(root), letter_(root.substr(0, 1)),
          outputPath_(targetFolder + baseName_), gatherPath_(GatheringPath(outputPath_)) {}

    void Run() {
        // Each prompt swaps the disk under the output: it would go with the disk taken out.
        if (StartsWithSameName(FullPath(targetFolder_), root_)) {
            hooks_.ShowMessage("Папка " + targetFolder_ +
                               " для соединёного файла находится на диске " + root_ +
                               ", в котором сменяются диски с частями. Выберите папку на другом "
                               "диске.");
            return;
        }
        if (!IsExistingFolder(targetFolder_) && !MakeFolder(targetFolder_)) {
            hooks_.ShowMessage("Невозможно создание папки для соединёного файла!");
            return;
        }
        if (!HasSha256()) {
            hooks_.ShowMessage("Невозможно проверить части по " + CheckFileName(baseName_) +
                               ": в системе нет вычисления SHA-256.");
            return;
        }
        if (!OutputReplaceable(outputPath_, hooks_) || !StartGathering()) return;
        if (!GatherFromDisks()) {
            output_.Close();
            RemoveFile(gatherPath_);
            return;
        }
        const bool written = output_.Flush();
        if (!written) ShowWriteFailed();
        const bool whole = written && WholeMatches();
        output_.Close();
        if (!whole) {
            RemoveFile(gatherPath_);
            return;
        }
        if (!ReplaceFileWith(gatherPath_, outputPath_)) {
            ShowOutputRefused(outputPath_, hooks_);
            RemoveFile(gatherPath_);
            return;
        }
        const std::string completed = JoinText() + " завершенно";
        hooks_.ShowMessage(completed + "\r\n" + CheckedLine(known_) + "\r\n" +
                           FromDisksText(disksRead_));
        hooks_.SetStatus(completed);
    }

  private:
    std::string JoinText() const { return "Востановление файла " + targetFolder_ + baseName_; }
    std::string PieceAt(int64_t n) const { return PiecePath(pieceFolder_, baseName_, n); }
    int64_t Listed() const { return static_cast<int64_t>(known_.digits.size()); }
    bool Finished() const { return whole_ && next_ > Listed(); }

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
            std::vector<std::string> paths;
            for (int64_t n = 1; n <= Listed(); ++n) paths.push_back(PieceAt(n));
            hooks_.ShowPieceList(paths);
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
        hooks_.KeepResponsive();
        return !hooks_.StopRequested() || Stopped();
    }

    // Tells how far the join has got and lets the window run; false when asked to stop. Only
    // the pieces read so far and the one being read have a known size.
    bool YieldToWindow(int64_t pieceDone, int64_t pieceTotal) {
        hooks_.ReportProgress({done_ + pieceDone, done_ + pieceTotal, pieceDone, pieceTotal});
        hooks_.KeepResponsive();
        return !hooks_.StopRequested();
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
        if (!piece.IsOpen()) {
            hooks_.ShowMessage("Невозможно открыть часть " + path + " для чтения!");
            return false;
        }
        // A split never writes an empty piece; one that is empty was cut short.
        if (size <= 0) {
            hooks_.ShowMessage("Часть " + path + " пуста!");
            return false;
        }
        const CopyResult copied = CopyStreamBytes(
            output_, piece, size, [&](int64_t written) { return YieldToWindow(written, size); },
            feed_.get());
        if (copied.stopped) return Stopped();
        if (copied.written != size) {
            if (copied.sourceShort)
                hooks_.ShowMessage("Невозможно прочитать часть " + path + " полностью!");
            else
                ShowWriteFailed();
            return false;
        }
        done_ += size;
        const std::optional<std::string> digits = feed_->Finish(kPieceLane);
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + path + "!");
            return false;
        }
        if (*digits != known_.digits[static_cast<size_t>(n - 1)]) {
            hooks_.ShowMessage(DamagedPieceText(path, known_));
            return false;
        }
        feed_->Begin(kPieceLane);
        return true;
    }

    // Whether the file gathered has the digits of the last disk's whole-file line; false after
    // telling the user.
    bool WholeMatches() {
        const std::optional<std::string> digits = feed_->Finish(kWholeLane);
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + outputPath_ + "!");
            return false;
        }
        if (*digits == *whole_) return true;
        hooks_.ShowMessage(WholeFileMismatchText(baseName_, known_));
        return false;
    }

    bool Stopped() {
        hooks_.SetStatus(JoinText() + " прервано");
        return false;
    }

    bool StartGathering() {
        output_ = OpenWriteStream(gatherPath_);
        if (!output_.IsOpen()) {
            hooks_.ShowMessage("Невозможно создание файла " + outputPath_ + "!");
            return false;
        }
        // A file left by an earlier join that was cut short holds old bytes; start empty.
        output_.Write(nullptr, 0);
        feed_ = std::make_unique<HashFeed>(kLanes, CopyBufferSize(), kSharedLanes);
        if (feed_->Ready() && feed_->Begin(kPieceLane) && feed_->Begin(kWholeLane)) return true;
        hooks_.ShowMessage("Невозможно проверить части по " + CheckFileName(baseName_) +
                           ": в системе нет вычисления SHA-256.");
        output_.Close();
        RemoveFile(gatherPath_);
        return false;
    }

    void ShowWriteFailed() {
        hooks_.ShowMessage("Невозможно записать файл " + outputPath_ +
                           " полностью! Возможно, на диске нет места.");
    }

    JoinHooks& hooks_;
    const std::string targetFolder_;
    const std::string pieceFolder_;
    const std::string baseName_;
    const std::string root_;
    const std::string letter_;
    const std::string outputPath_;
    const std::string gatherPath_;
    SetCheck known_;                   // the longest list of pieces read so far
    std::optional<std::string> whole_; // the whole file's digits, once a disk gave them
    int64_t next_ = 1;                 // the piece the set needs next
    int64_t done_ = 0;                 // the bytes joined so far
    int64_t disksRead_ = 0;            // the disks that gave pieces
    FileStream output_;
    std::unique_ptr<HashFeed> feed_;
};

} // namespace

bool JoinsFromDisks(const std::string& chosenPiecePath, const JoinSystem& system) {
    const std::optional<std::string> baseName = BaseNameOf(chosenPiecePath);
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
    // A complete check file with one piece lost and the recovery file beside it: the set is
    // here, and the join in the folder rebuilds the piece.
    const bool rebuilt = missing == 1 && IsExistingFile(folder + RecoveryFileName(*baseName));
    return missing > 0 && !rebuilt;
}

void JoinFromDisks(const std::string& chosenPiecePath, const std::string& targetFolder,
                   JoinHooks& hooks, const JoinSystem& system) {
    const std::optional<std::string> root = system.removableRoot(chosenPiecePath);
    if (!root || !BaseNameOf(chosenPiecePath)) return;
    DiskJoiner(chosenPiecePath, targetFolder, hooks, *root).Run();
}
