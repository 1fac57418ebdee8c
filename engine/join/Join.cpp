#include "engine/join/Join.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "engine/checkfile/CheckFile.h"
#include "engine/system/FileServices.h"
#include "engine/digest/HashFeed.h"
#include "engine/join/JoinOutput.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Rebuild.h"
#include "engine/system/SameName.h"
#include "engine/checkfile/SetCheck.h"

namespace {

// How many missing pieces a message names before it ends in "...".
constexpr size_t kMissingNamed = 5;

// The lanes of a checked join's feed: each piece's digest, and the whole file's beside it, both
// over the bytes as they are copied, on one thread that takes both digests of a buffer in one
// pass.
constexpr int kPieceLane = 0;
constexpr int kWholeLane = 1;
constexpr int kLanes = 2;
constexpr uint32_t kSharedLanes = 1u << kPieceLane | 1u << kWholeLane;

// Ends a directory search on every way out.
class DirectorySearch {
  public:
    explicit DirectorySearch(const std::string& pattern)
        : handle_(FindFirstFileA(pattern.c_str(), &found_)) {}
    ~DirectorySearch() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool HasEntry() const { return handle_ != INVALID_HANDLE_VALUE && !finished_; }
    std::string EntryName() const { return found_.cFileName; }
    int64_t EntrySize() const {
        return static_cast<int64_t>((static_cast<uint64_t>(found_.nFileSizeHigh) << 32) |
                                    found_.nFileSizeLow);
    }
    void Next() { finished_ = !FindNextFileA(handle_, &found_); }

  private:
    WIN32_FIND_DATAA found_{};
    HANDLE handle_;
    bool finished_ = false;
};

// One join in progress.
class Joiner {
  public:
    Joiner(const std::string& chosenPiecePath, const std::string& targetFolder, JoinHooks& hooks)
        : hooks_(hooks), chosenPiecePath_(chosenPiecePath), targetFolder_(targetFolder),
          pieceFolder_(FolderPart(chosenPiecePath)) {}

    void Run() {
        if (!IsExistingFolder(targetFolder_) && !MakeFolder(targetFolder_)) {
            hooks_.ShowMessage("Невозможно создание папки для соединёного файла!");
            return;
        }
        // The file name itself may hold "_", a piece number and ".brf" cannot.
        const std::string name = FileNamePart(chosenPiecePath_);
        const size_t cut = name.rfind('_');
        if (cut == std::string::npos)
            hooks_.ShowMessage(
                "Данный фаил не был создан программой Varnok\r  или он возможно был переименован.");
        baseName_ = name.substr(0, cut);
        outputPath_ = targetFolder_ + baseName_;
        gatherPath_ = GatheringPath(outputPath_);
        rebuild_ = std::make_unique<PieceRebuild>(hooks_, pieceFolder_, baseName_, outputPath_);
        const std::optional<int64_t> count = CountSet();
        if (!count || !IsComplete(*count)) return;
        std::vector<std::string> paths;
        for (int64_t n = 1; n <= *count; ++n)
            paths.push_back(PiecePath(pieceFolder_, baseName_, n));
        hooks_.ShowPieceList(paths);
        if (!OutputReplaceable(outputPath_, hooks_)) return;
        if (missingRebuilt_ && !rebuild_->Rebuild(missingRebuilt_, *check_, missingText_)) return;
        if (!Gather(paths)) {
            RemoveFile(gatherPath_);
            return;
        }
        if (!ReplaceFileWith(gatherPath_, outputPath_)) {
            ShowOutputRefused(outputPath_, hooks_);
            RemoveFile(gatherPath_);
            return;
        }
        const std::string completed =
            "Востановление файла " + targetFolder_ + baseName_ + " завершенно";
        hooks_.ShowMessage(check_ ? completed + "\r\n" + CheckedLine(*check_) + rebuild_->DoneLine()
                                  : completed);
        hooks_.SetStatus(completed);
    }

  private:
    // The numbers of the pieces in the piece folder, their sizes noted for the progress; other
    // entries of the pattern are no pieces.
    std::set<int64_t> FindPieceNumbers() {
        std::set<int64_t> numbers;
        for (DirectorySearch search(pieceFolder_ + baseName_ + "_*.brf"); search.HasEntry();
             search.Next()) {
            // The total is not known while the set is counted: nothing to report yet.
            hooks_.KeepResponsive();
            if ((stopped_ = hooks_.StopRequested())) return {};
            const std::string entry = search.EntryName();
            if (entry.size() <= baseName_.size()) continue;
            const std::string prefix = entry.substr(0, baseName_.size());
            if (!SameName(prefix, baseName_)) continue;
            if (const std::optional<int64_t> number = PieceNumberOf(entry, prefix)) {
                numbers.insert(*number);
                foundSizes_[*number] = search.EntrySize();
            }
        }
        return numbers;
    }

    // The pieces of the set: as many as the check file lists, else up to the highest found.
    // The check file is read even when no piece is found, since the recovery file beside it may
    // rebuild a lost one. Nothing after a message or a stop.
    std::optional<int64_t> CountSet() {
        numbers_ = FindPieceNumbers();
        if (stopped_) return std::nullopt;
        const std::string notFound = "Части файла " + pieceFolder_ + baseName_ + " не найдены!";
        if (numbers_.empty() && !IsExistingFile(pieceFolder_ + CheckFileName(baseName_))) {
            hooks_.ShowMessage(notFound);
            return std::nullopt;
        }
        const SetCheckReading reading = ReadSetCheck(pieceFolder_, baseName_, numbers_);
        if (!reading.refusal.empty()) {
            hooks_.ShowMessage(reading.refusal);
            return std::nullopt;
        }
        check_ = reading.check;
        // A checked set is as long as its check file says, so a missing last piece is missed.
        const int64_t count = check_             ? static_cast<int64_t>(check_->digits.size())
                              : numbers_.empty() ? 0
                                                 : *numbers_.rbegin();
        // A check file of the whole file alone (a copy the disk method made) lists no piece.
        if (count == 0) {
            hooks_.ShowMessage(notFound);
            return std::nullopt;
        }
        return count;
    }

    // A set with a gap would restore a file with a hole in it; the missing pieces are named.
    bool IsComplete(int64_t count) {
        std::vector<int64_t> missing;
        for (int64_t n = 1; n <= count && missing.size() <= kMissingNamed; ++n)
            if (!numbers_.count(n)) missing.push_back(n);
        if (missing.empty()) return true;
        const bool rebuildable = check_ && rebuild_->Possible();
        if (missing.size() == 1) {
            const std::string text =
                "Часть " + PiecePath(pieceFolder_, baseName_, missing[0]) + " не найдена!";
            // One piece missing from a checked set: the recovery file beside it rebuilds it.
            if (rebuildable) {
                missingRebuilt_ = missing[0];
                missingText_ = text;
                return true;
            }
            hooks_.ShowMessage(text);
            return false;
        }
        std::string text = "Части ";
        for (size_t i = 0; i < missing.size() && i < kMissingNamed; ++i)
            text += (i == 0 ? "" : ", ") + PiecePath(pieceFolder_, baseName_, missing[i]);
        if (missing.size() > kMissingNamed) text += ", ...";
        text += " не найдены!";
        hooks_.ShowMessage(rebuildable ? text + "\r\n" + rebuild_->OnlyOneText() : text);
        return false;
    }

    // Tells how far the join has got and lets the window run; false when asked to stop.
    bool YieldToWindow(int64_t done) {
        hooks_.ReportProgress({done, total_, done, total_});
        hooks_.KeepResponsive();
        return !hooks_.StopRequested();
    }

    // The bytes piece n will give: a rebuilt piece's as the recovery file describes it, the
    // others' as the folder listed them (a set of many pieces is not looked up piece by piece).
    int64_t SizeOf(int64_t n) const {
        if (rebuild_->IsRebuilt(n)) return rebuild_->RebuiltSize();
        const auto found = foundSizes_.find(n);
        return found == foundSizes_.end() ? 0 : found->second;
    }

    // Appends every piece in number order to the gathering file; false after a message or a
    // stop.
    bool Gather(const std::vector<std::string>& paths) {
        for (size_t i = 0; i < paths.size(); ++i) {
            sizes_.push_back(SizeOf(static_cast<int64_t>(i) + 1));
            total_ += sizes_.back();
        }
        FileStream output = OpenWriteStream(gatherPath_);
        if (!output.IsOpen()) {
            // The gathering file is the join's own business: the user chose the output.
            hooks_.ShowMessage("Невозможно создание файла " + outputPath_ + "!");
            return false;
        }
        // A file left by an earlier join that was cut short holds old bytes; start empty.
        output.Write(nullptr, 0);
        std::unique_ptr<HashFeed> feed;
        if (check_ && !(feed = StartFeed())) return false;
        int64_t done = 0;
        for (size_t i = 0; i < paths.size(); ++i) {
            const int64_t n = static_cast<int64_t>(i) + 1;
            const std::string& path = rebuild_->PathFor(n, paths[i]);
            hooks_.SetStatus("Востановление файла " + targetFolder_ + baseName_ + " из части " +
                             path);
            if (!YieldToWindow(done)) return false;
            const int64_t start = done;
            faultText_.clear();
            const bool appended = AppendPiece(output, path, done, feed.get());
            if (appended && (!feed || PieceMatches(*feed, path, check_->digits[i]))) continue;
            // Told already, or stopped; else the piece is cut short or damaged.
            if (faultText_.empty()) return false;
            if (!RebuildInPlace(n, output, start, done)) return false;
            if (!RestartDigests(*feed, paths, n)) return false;
            --i; // the rebuilt piece is appended in its place and checked
        }
        if (!output.Flush()) return ShowWriteFailed();
        return !feed || WholeMatches(*feed);
    }

    // The feed of a checked join, both lanes begun; null after telling the user.
    std::unique_ptr<HashFeed> StartFeed() {
        auto feed = std::make_unique<HashFeed>(kLanes, CopyBufferSize(), kSharedLanes);
        if (feed->Ready() && feed->Begin(kPieceLane) && feed->Begin(kWholeLane)) return feed;
        hooks_.ShowMessage("Невозможно проверить части по " + check_->name +
                           ": в системе нет вычисления SHA-256.");
        return nullptr;
    }

    // Whether the file gathered has the digits of the check file's whole-file line: pieces
    // that each match their lines may still make another file (a check file whose lines were
    // put together from two splits). false after telling the user.
    bool WholeMatches(HashFeed& feed) {
        const std::optional<std::string> digits = feed.Finish(kWholeLane);
        if (!digits) return ShowDigestFailed(outputPath_);
        if (*digits == check_->whole) return true;
        hooks_.ShowMessage(WholeFileMismatchText(baseName_, *check_));
        return false;
    }

    // The output went back to the start of piece n, now rebuilt, but the whole file's lane
    // has taken the bytes that were there: it begins anew over pieces 1 .. n - 1, read once
    // more (only after such a rebuild; a sound set is read once), and the piece lane begins
    // anew for piece n. false after a message or a stop.
    bool RestartDigests(HashFeed& feed, const std::vector<std::string>& paths, int64_t n) {
        feed.Rest(kPieceLane);
        if (!feed.Begin(kWholeLane)) return ShowDigestFailed(outputPath_);
        const CopyPace pace = [&](int64_t) {
            hooks_.KeepResponsive();
            return !hooks_.StopRequested();
        };
        for (int64_t k = 1; k < n; ++k) {
            const std::string& path = rebuild_->PathFor(k, paths[static_cast<size_t>(k - 1)]);
            FileStream piece = OpenReadStream(path);
            const int64_t size = piece.Size();
            const CopyResult read = ReadThroughFeed(piece, size, pace, feed);
            if (read.stopped) return false;
            if (size <= 0 || read.written != size) {
                hooks_.ShowMessage("Невозможно прочитать часть " + path + " полностью!");
                return false;
            }
        }
        return feed.Begin(kPieceLane) || ShowDigestFailed(paths[static_cast<size_t>(n - 1)]);
    }

    bool ShowDigestFailed(const std::string& path) {
        hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + path + "!");
        return false;
    }

    // Whether the piece just appended has the digits of its line; false after a message, or
    // with faultText_ telling the damage. The feed's lane then begins anew for the next piece.
    bool PieceMatches(HashFeed& feed, const std::string& path, const std::string& listed) {
        const std::optional<std::string> digits = feed.Finish(kPieceLane);
        if (!digits) return ShowDigestFailed(path);
        feed.Begin(kPieceLane);
        if (*digits != listed) {
            faultText_ = DamagedPieceText(path, *check_);
            return false;
        }
        return true;
    }

    bool AppendPiece(FileStream& output, const std::string& path, int64_t& done, HashFeed* feed) {
        FileStream piece = OpenReadStream(path);
        if (!piece.IsOpen()) {
            hooks_.ShowMessage("Невозможно открыть часть " + path + " для чтения!");
            return false;
        }
        const int64_t size = piece.Size();
        // A split never writes an empty piece; one that is empty was cut short.
        if (size <= 0) {
            faultText_ = "Часть " + path + " пуста!";
            return false;
        }
        const int64_t start = done;
        const CopyResult copied = CopyStreamBytes(
            output, piece, size, [&](int64_t written) { return YieldToWindow(start + written); },
            feed);
        done += copied.written;
        if (copied.stopped) return false;
        if (copied.written == size) return true;
        if (copied.sourceShort) {
            faultText_ = "Невозможно прочитать часть " + path + " полностью!";
            return false;
        }
        return ShowWriteFailed();
    }

    // Piece n was found cut short or damaged while appended from start on: it is rebuilt from
    // the recovery file when the set has one, and the output goes back to the piece's start.
    // false after telling the user.
    bool RebuildInPlace(int64_t n, FileStream& output, int64_t start, int64_t& done) {
        if (rebuild_->IsRebuilt(n)) {
            hooks_.ShowMessage(rebuild_->MismatchText(*check_));
            return false;
        }
        if (!check_ || !rebuild_->Possible()) {
            hooks_.ShowMessage(check_ && rebuild_->AnyRebuilt() ? rebuild_->SecondFaultText(n)
                                                                : faultText_);
            return false;
        }
        if (!rebuild_->Rebuild(n, *check_, faultText_)) return false;
        // The total counted the faulty piece; the rebuilt one takes its place.
        const size_t at = static_cast<size_t>(n - 1);
        total_ += rebuild_->RebuiltSize() - sizes_[at];
        sizes_[at] = rebuild_->RebuiltSize();
        done = start;
        return output.Seek(start, SeekOrigin::FromBeginning) == start;
    }

    bool ShowWriteFailed() {
        hooks_.ShowMessage("Невозможно записать файл " + outputPath_ +
                           " полностью! Возможно, на диске нет места.");
        return false;
    }

    JoinHooks& hooks_;
    const std::string chosenPiecePath_;
    const std::string targetFolder_;
    const std::string pieceFolder_;
    std::string baseName_;
    std::string outputPath_;
    std::string gatherPath_;
    std::set<int64_t> numbers_;             // of the pieces found
    std::map<int64_t, int64_t> foundSizes_; // their sizes, by number
    std::vector<int64_t> sizes_;            // piece n's at n - 1, as counted into total_
    int64_t total_ = 0;
    bool stopped_ = false;
    std::optional<SetCheck> check_;
    std::unique_ptr<PieceRebuild> rebuild_;
    int64_t missingRebuilt_ = 0; // the one piece missing, to be rebuilt before the gathering
    std::string missingText_;
    std::string faultText_; // what the join says of the piece just found cut short
};

} // namespace

void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks) {
    JoinPieces(chosenPiecePath, targetFolder, hooks, JoinSystem());
}

void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks, const JoinSystem& system) {
    if (JoinsFromDisks(chosenPiecePath, system))
        JoinFromDisks(chosenPiecePath, targetFolder, hooks, system);
    else
        Joiner(chosenPiecePath, targetFolder, hooks).Run();
}
