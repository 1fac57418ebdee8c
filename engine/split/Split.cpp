#include "engine/split/Split.h"

#include <algorithm>
#include <memory>

#include "engine/checkfile/CheckFileWriter.h"
#include "engine/system/FileServices.h"
#include "engine/digest/HashFeed.h"
#include "engine/split/KeptPieceRead.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"
#include "engine/digest/Sha256.h"
#include "engine/pieces/SplitLimits.h"
#include "engine/split/SplitRecovery.h"

namespace {

// The cluster taken for a disk whose cluster size cannot be had.
constexpr uint32_t kUsualCluster = 4096;
// The hashing lanes of a split: the piece being written, and the whole file.
constexpr int kPieceLane = 0;
constexpr int kWholeLane = 1;

// What one inserted disk takes: its free bytes less the room kept for the check file, capped
// at the largest file its file system holds.
struct DiskRoom {
    uint64_t freeBytes = 0;
    uint64_t checkRoom = 0;
    std::optional<uint64_t> largestFile;

    uint64_t PieceRoom() const {
        const uint64_t room = freeBytes > checkRoom ? freeBytes - checkRoom : 0;
        return std::min(room, largestFile.value_or(room));
    }
    bool HoldsWhole(int64_t size) const { return static_cast<uint64_t>(size) <= PieceRoom(); }
};

// Where the window gets its turn between pieces, and the status bar's word between the names.
// The two methods have always differed here, and users know them so: the count method lets the
// window run before the source and each piece are opened and once after the last, and says
// " to "; the size method lets it run right after each piece is opened, and says " в ".
struct PieceSteps {
    bool yieldBeforeOpening;
    const char* statusWord;
};
constexpr PieceSteps kCountSteps{true, " to "};
constexpr PieceSteps kSizeSteps{false, " в "};

// One split in progress: the request as it was at the click, the hooks and the source's name.
class Splitter {
  public:
    Splitter(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system)
        : request_(request), hooks_(hooks), system_(system),
          name_(FileNamePart(request.sourcePath)), check_(request.targetFolder, name_),
          recovery_(request.targetFolder, name_),
          statePath_(WholeStatePath(request.targetFolder, name_)) {}

    void Run() {
        if (!IsExistingFile(request_.sourcePath)) {
            hooks_.ShowMessage("Файл " + name_ + " не найден.");
            return;
        }
        if (!IsExistingFolder(request_.targetFolder) &&
            !system_.makeFolder(request_.targetFolder)) {
            hooks_.ShowMessage("Невозможно создание папки для частей файла!");
            return;
        }
        if (!IsExistingFile(request_.sourcePath)) {
            hooks_.ShowMessage("File " + name_ + " not found.");
            return;
        }
        fileSize_ = static_cast<int64_t>(LookupFileSize(request_.sourcePath));
        StartHashing();
        bool done = false;
        switch (request_.method) {
        case SplitMethod::ByCount:
            done = ByCount();
            break;
        case SplitMethod::BySize:
            done = BySize();
            break;
        case SplitMethod::OntoDisks:
            done = OntoDisks();
            break;
        }
        if (!done) return;
        const std::string completed = "Разделение файла " + name_ + " завершенно";
        const std::string line = recovery_.DoneLine();
        hooks_.ShowMessage(line.empty() ? completed : completed + "\r\n" + line);
        hooks_.SetStatus(completed);
    }

  private:
    // Tells how far the split has got and lets the window run; false when asked to stop.
    bool YieldToWindow(int64_t done, int64_t pieceDone, int64_t pieceTotal) {
        hooks_.ReportProgress({done, fileSize_, pieceDone, pieceTotal});
        hooks_.KeepResponsive();
        return !hooks_.StopRequested();
    }

    bool YieldToWindow(int64_t done) { return YieldToWindow(done, done, fileSize_); }

    // Lets the window run without a progress figure; false when asked to stop.
    bool KeepGoing() {
        hooks_.KeepResponsive();
        return !hooks_.StopRequested();
    }

    // Copies one piece that starts at byte start of the source, yielding during a long copy.
    CopyResult CopyPiece(FileStream& target, FileStream& source, int64_t size, int64_t start,
                         bool onDisk) {
        return CopyStreamBytes(
            target, source, size,
            [&](int64_t written) {
                return onDisk ? YieldToWindow(start + written, written, size)
                              : YieldToWindow(start + written);
            },
            feed_.get());
    }

    // Without a SHA-256 from the system (older than Windows XP SP3) the set has no check file.
    // The piece lane rests through piece 1: piece 1 starts the file, so its digits are the
    // whole file's digest so far, and those bytes are hashed once.
    void StartHashing() {
        if (!HasSha256()) return;
        feed_ = std::make_unique<HashFeed>(KeptLane() + 1, CopyBufferSize(), SharedLanes());
        if (!feed_->Ready() || !feed_->Begin(kWholeLane)) feed_.reset();
    }

    // The lane a resumed split hashes each kept piece's own bytes on, after the others.
    int KeptLane() const { return request_.recovery ? SplitRecovery::FeedLanes : 2; }

    // The SHA-256 lanes on one thread, each buffer in one pass for those that take it: the
    // piece's and the whole file's, and the kept piece's beside the source's. The piece lane
    // that takes an MD5 beside for the recovery file keeps a thread of its own.
    uint32_t SharedLanes() const {
        return request_.recovery ? 0 : 1u << kPieceLane | 1u << kWholeLane | 1u << KeptLane();
    }

    // Writes the check file with the lines so far (a fresh one at the start, the earlier
    // disks' pieces on a later disk); false after telling the user.
    bool SaveCheckFile() {
        if (!feed_) return true;
        // Even a failed save may have cut an older file: it is this split's from now on.
        checkMade_ = true;
        if (check_.Save()) return true;
        hooks_.ShowMessage("Невозможно создание файла " + check_.Path() + "!");
        return false;
    }

    // A resumed split's check file starts with the kept pieces' lines, as an uninterrupted
    // split's would.
    bool SaveCheckFile(const KeptPieces& kept) {
        if (!SaveCheckFile()) return false;
        listed_ = ListedDigits(kept.digests);
        for (int64_t n = 1; n <= kept.Count(); ++n) {
            if (!NoteDigest(kept.digests[static_cast<size_t>(n - 1)], PieceName(name_, n),
                            PieceAt(n)))
                return false;
        }
        return true;
    }

    // Asks whether to go on after the pieces an interrupted split left; kept holds them when
    // the user chose so. False when the user wants no split now.
    bool OfferResume(const PiecePlan& plan, KeptPieces& kept) {
        // Without a check file nothing tells what is on the medium.
        if (!feed_) return true;
        KeptPieces found = FindKeptPieces(request_.targetFolder, name_, plan);
        if (found.Count() == 0) return true;
        switch (hooks_.AskYesNoCancel(ResumeQuestion(name_, found.Count()))) {
        case Reply::Yes:
            kept = std::move(found);
            return true;
        case Reply::No:
            return true;
        case Reply::Cancel:
            return false;
        }
        return false;
    }

    // What reading a kept piece beside the source's bytes of it found.
    enum class KeptFinding { Same, PieceDiffers, SourceDiffers, Ended };

    // Reads the kept pieces' bytes of the source once, through the feed, so that the whole
    // file's digest runs on through them, and checks each against its listed digest, the
    // piece's own bytes beside them; done then counts them. A piece whose own bytes differ is
    // written again from the source; a source that differs starts the split over (kept empty)
    // when the user agrees. False when the split ends here, the earlier run's set kept.
    bool CheckKeptPieces(const PiecePlan& plan, const PieceSteps& steps, FileStream& source,
                         KeptPieces& kept, int64_t& done) {
        // With the whole file's state saved after the kept pieces, their bytes are hashed once,
        // against their lines, and the whole file's digest goes on from the state after them.
        wholeResting_ = kept.Count() > 0 && kept.wholeState.has_value();
        if (wholeResting_) {
            feed_->Rest(kWholeLane);
            BeginPieceLaneAtFirst();
        }
        if (kept.Count() > 0) feed_->Begin(KeptLane(), keptDigest_);
        for (int64_t n = 1; n <= kept.Count(); ++n) {
            if (!YieldToWindow(done)) return false;
            hooks_.SetStatus(CheckingKeptPieceText(name_, n));
            const int64_t size = plan.SizeOf(n);
            const std::string& listed = kept.digests[static_cast<size_t>(n - 1)];
            KeptFinding found = ReadKeptPiece(n, size, source, done, listed);
            // The source is right there, and its bytes match the line: no question.
            if (found == KeptFinding::PieceDiffers)
                found = WriteKeptPieceAgain(n, size, source, done, steps, listed);
            if (found == KeptFinding::SourceDiffers) return StartOver(plan, n, source, kept, done);
            if (found != KeptFinding::Same) return false;
            done += size;
        }
        feed_->Rest(KeptLane());
        return GoOnAfterKept(kept);
    }

    // Reads kept piece n beside the source's bytes of it, which go to the file's digests;
    // Ended after telling the user, or on a stop.
    KeptFinding ReadKeptPiece(int64_t n, int64_t size, FileStream& source, int64_t done,
                              const std::string& listed) {
        FileStream piece = OpenReadStream(PieceAt(n));
        keptDigest_.Restart();
        const SideBySideRead read = ReadSideBySide(
            source, piece, size, [&](int64_t got) { return YieldToWindow(done + got); }, *feed_,
            KeptLane());
        if (read.source.stopped) return KeptFinding::Ended;
        if (read.source.written != size) {
            hooks_.ShowMessage("Невозможно прочитать файл " + name_ + " полностью!");
            return KeptFinding::Ended;
        }
        const std::optional<std::string> digits = TakePieceDigest(n);
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + request_.sourcePath +
                               "!");
            return KeptFinding::Ended;
        }
        if (*digits != listed) return KeptFinding::SourceDiffers;
        feed_->Drain(KeptLane());
        const std::optional<std::string> own = keptDigest_.Finish();
        // A piece cut short or grown since it was measured is not the one listed either.
        const bool whole = read.pieceBytes == size && piece.Size() == size;
        return whole && own == listed ? KeptFinding::Same : KeptFinding::PieceDiffers;
    }

    // Writes kept piece n again from the source's bytes just checked, into a work file that
    // takes the piece's name only whole, on the disk and with the bytes of its line: a stop
    // or a failure leaves the earlier run's piece, for the next resume to write. Same once
    // written; SourceDiffers when the source changed since; Ended after telling the user, or
    // on a stop.
    KeptFinding WriteKeptPieceAgain(int64_t n, int64_t size, FileStream& source, int64_t done,
                                    const PieceSteps& steps, const std::string& listed) {
        const std::string path = PieceAt(n), part = path + ".~part";
        hooks_.SetStatus("Разделение файла " + name_ + steps.statusWord + PieceName(name_, n));
        if (source.Seek(done, SeekOrigin::FromBeginning) != done) {
            hooks_.ShowMessage("Невозможно прочитать файл " + name_ + " полностью!");
            return KeptFinding::Ended;
        }
        FileStream target;
        if (!OpenTarget(target, part, "Невозможно создание части " + path + "!"))
            return KeptFinding::Ended;
        HashingCopyFeed hashed;
        // Its bytes were counted as they were checked.
        const CopyResult copied = CopyStreamBytes(
            target, source, size, [&](int64_t) { return YieldToWindow(done + size); }, &hashed);
        const bool whole = !copied.stopped && copied.written == size && target.Flush();
        target.Close();
        const std::optional<std::string> digits = whole ? hashed.Finish() : std::nullopt;
        if (digits == listed && ReplaceFileWith(part, path)) return KeptFinding::Same;
        RemoveFile(part);
        if (digits && digits != listed) return KeptFinding::SourceDiffers;
        if (whole && !digits)
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + request_.sourcePath +
                               "!");
        else if (!copied.stopped)
            ShowCopyFailure(copied, "Невозможно записать часть " + path + " полностью!");
        return KeptFinding::Ended;
    }

    // The source differs from kept piece n's line: the split starts over from piece 1 (kept
    // empty) when the user agrees. False when the split ends here, with nothing written.
    bool StartOver(const PiecePlan& plan, int64_t n, FileStream& source, KeptPieces& kept,
                   int64_t& done) {
        if (!hooks_.AskOkCancel(KeptPieceDiffersQuestion(name_, n))) return false;
        kept = {};
        done = 0;
        wholeResting_ = false;
        if (source.Seek(0, SeekOrigin::FromBeginning) != 0) {
            hooks_.ShowMessage("Невозможно прочитать файл " + name_ + " полностью!");
            return false;
        }
        // The recovery file starts over with the feed.
        const bool recovering = recovery_.Active();
        recovery_.Drop();
        feed_.reset();
        StartHashing();
        pieceLaneAtFirst_ = false;
        if (recovering) recovery_.BeginBeside(hooks_, feed_.get(), plan);
        if (recovery_.Active()) BeginPieceLaneAtFirst();
        return true;
    }

    // After the kept pieces' check: the whole file's digest goes on from the saved state when
    // it rested, and what a failure or a stop of this run leaves is noted. False after telling
    // the user.
    bool GoOnAfterKept(const KeptPieces& kept) {
        if (wholeResting_) {
            wholeResting_ = false;
            if (!feed_->Begin(kWholeLane, *kept.wholeState)) {
                hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " +
                                   request_.sourcePath + "!");
                return false;
            }
        }
        // The kept pieces stay the earlier run's: a failure or a stop of this one leaves them,
        // with their lines and the state after them, so that the split can be resumed again.
        keptCount_ = kept.Count();
        if (keptCount_ > 0 && savesState_) {
            keptState_ = feed_->SavedState(kWholeLane);
            keptBinding_ = ListedDigits(kept.digests).Binding();
        }
        return true;
    }

    // Adds the line of a piece written in full, or (name_) of the whole file; false after
    // telling the user.
    bool NoteDigest(const std::optional<std::string>& digits, const std::string& name,
                    const std::string& path) {
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + path + "!");
            return false;
        }
        if (check_.Add(*digits, name)) return true;
        hooks_.ShowMessage("Невозможно записать файл " + check_.Path() + " полностью!");
        return false;
    }

    // The piece lane begins at piece 2 and anew at every later piece; at piece 1 too while the
    // whole file's lane rests or the recovery file takes the pieces' MD5 from it.
    std::optional<std::string> TakePieceDigest(int64_t n) {
        const std::optional<std::string> digits =
            n == 1 && !pieceLaneAtFirst_ ? feed_->Peek(kWholeLane) : feed_->Finish(kPieceLane);
        recovery_.EndPiece(*feed_, n);
        BeginPieceLane();
        return digits;
    }

    // With the recovery file the piece's MD5 is taken beside its SHA-256, in the same pass.
    void BeginPieceLane() {
        if (recovery_.Active())
            feed_->Begin(kPieceLane, recovery_.PieceMd5());
        else
            feed_->Begin(kPieceLane);
    }

    void BeginPieceLaneAtFirst() {
        pieceLaneAtFirst_ = true;
        BeginPieceLane();
    }

    bool NotePiece(int64_t n) {
        if (!feed_) return true;
        const std::optional<std::string> digits = TakePieceDigest(n);
        if (!NoteDigest(digits, PieceName(name_, n), PieceAt(n))) return false;
        listed_.Add(*digits);
        if (savesState_) SaveStateAfterPieces();
        return true;
    }

    // Saves where the whole file's digest stands after the pieces noted, for a resume; a split
    // that cannot save it goes on (a resume then hashes the kept bytes for the whole file too).
    void SaveStateAfterPieces() {
        const std::optional<std::string> state = feed_->SavedState(kWholeLane);
        if (!state) return;
        // Bound to the lines by a running digest of them: the same cost after every piece.
        const std::optional<StateBinding> binding = listed_.Binding();
        if (binding) SaveWholeState(statePath_, *binding, *state);
    }

    bool NoteWhole() {
        if (feed_ && !NoteDigest(feed_->Finish(kWholeLane), name_, request_.sourcePath))
            return false;
        // The user may take the disk out at once: the line that completes the set must be on it.
        return FlushCheckFile();
    }

    // Puts the check file's lines onto the disk and closes it; false after telling the user.
    bool FlushCheckFile() {
        if (feed_ && !check_.Flush()) {
            hooks_.ShowMessage("Невозможно записать файл " + check_.Path() + " полностью!");
            return false;
        }
        check_.Close();
        return true;
    }

    void RemoveWholeState() {
        if (IsExistingFile(statePath_)) RemoveFile(statePath_);
    }

    // Removes the check file this split made on the disk in the drive; an older one that it
    // never replaced stays with its pieces.
    void RemoveCheckFile() {
        if (checkMade_) {
            check_.Remove();
            // A state saved beside it, by this split or by the one whose file it replaced.
            RemoveWholeState();
        }
        checkMade_ = false;
    }

    bool OpenSource(FileStream& source) {
        source = system_.openSource(request_.sourcePath);
        if (source.IsOpen()) return true;
        hooks_.ShowMessage("Невозможно открыть файл " + name_ + " для чтения!");
        return false;
    }

    // Opens a piece (or the whole-file copy) for writing; failText tells the user otherwise.
    bool OpenTarget(FileStream& target, const std::string& path, const std::string& failText) {
        target = OpenWriteStream(path);
        if (target.IsOpen()) return true;
        hooks_.ShowMessage(failText);
        return false;
    }

    bool OpenPiece(FileStream& piece, const std::string& path) {
        return OpenTarget(piece, path, "Невозможно создание части " + path + "!");
    }

    void ShowCopyFailure(const CopyResult& copied, const std::string& failText) {
        hooks_.ShowMessage(copied.sourceShort ? "Невозможно прочитать файл " + name_ + " полностью!"
                                              : failText);
    }

    std::string PieceAt(int64_t n) const { return PiecePath(request_.targetFolder, name_, n); }

    // A partial set would later join into a shorter file reported as done, and the source is
    // whole: the pieces this run wrote, up to last, go. Always false, for the caller to return.
    bool Discard(int64_t last, FileStream& open) {
        open.Close();
        for (int64_t n = keptCount_ + 1; n <= last; ++n) RemoveFile(PieceAt(n));
        if (keptCount_ > 0)
            KeepEarlierRun();
        else
            RemoveCheckFile();
        recovery_.Drop();
        return false;
    }

    // A resumed split that fails or stops leaves the earlier run's pieces, their lines and the
    // state after them, so that it can be resumed again.
    void KeepEarlierRun() {
        // Not written anew yet: the earlier run's check file and state are as they were.
        if (!checkMade_) return;
        check_.KeepFirstLines(keptCount_);
        checkMade_ = false;
        if (keptState_ && keptBinding_)
            SaveWholeState(statePath_, *keptBinding_, *keptState_);
        else
            RemoveWholeState();
    }

    // Pieces above the new set's count are left from an earlier, longer split of the same
    // name; they belong to no whole set any more and a join would append them.
    void RemoveStaleRun(int64_t first) {
        for (int64_t n = first; IsExistingFile(PieceAt(n)); ++n) RemoveFile(PieceAt(n));
    }

    bool ByCount() {
        const int64_t count = request_.count;
        switch (JudgeCount(count, fileSize_)) {
        case SplitNumber::Splittable:
            return WritePieces(PlanByCount(fileSize_, count), kCountSteps);
        case SplitNumber::OnePiece:
        case SplitNumber::TooSmall:
            hooks_.ShowMessage("Количество частей меньше или равно 1");
            return false;
        case SplitNumber::TooLarge:
            hooks_.ShowMessage("Количество частей слишком велико");
            return false;
        case SplitNumber::LargerThanFile:
            hooks_.ShowMessage("Размер части больше размера файла " + name_);
            return false;
        }
        return false;
    }

    bool BySize() {
        const int64_t value = request_.sizeValue, unit = request_.unitMultiplier;
        switch (JudgeSize(value, unit, fileSize_)) {
        case SplitNumber::Splittable:
            return WritePieces(PlanBySize(fileSize_, PieceBytes(value, unit)), kSizeSteps);
        case SplitNumber::TooLarge:
            hooks_.ShowMessage("Размер части слишком велик");
            return false;
        case SplitNumber::OnePiece:
        case SplitNumber::TooSmall:
            hooks_.ShowMessage("Размер части менее 1 байта");
            return false;
        case SplitNumber::LargerThanFile:
            hooks_.ShowMessage("Размер части больше размера файла " + name_);
            return false;
        }
        return false;
    }

    // Writes the planned pieces; a failure or a stop removes every piece written.
    bool WritePieces(const PiecePlan& plan, const PieceSteps& steps) {
        FileStream source, piece;
        KeptPieces kept;
        if (!OfferResume(plan, kept)) return false;
        if (!recovery_.JudgeBeside([this] { return KeepGoing(); })) return false;
        // Only these two methods resume: they save the whole file's state after each piece.
        savesState_ = feed_ != nullptr;
        if (request_.recovery) recovery_.BeginBeside(hooks_, feed_.get(), plan);
        if (recovery_.Active()) BeginPieceLaneAtFirst();
        if (steps.yieldBeforeOpening && !YieldToWindow(0)) return Discard(0, piece);
        if (!OpenSource(source)) return Discard(0, piece);
        int64_t done = 0;
        if (!CheckKeptPieces(plan, steps, source, kept, done)) return false;
        for (int64_t n = kept.Count() + 1; n <= plan.count; ++n) {
            if (steps.yieldBeforeOpening && !YieldToWindow(done)) return Discard(n - 1, piece);
            const std::string path = PieceAt(n);
            if (!OpenPiece(piece, path)) return Discard(n - 1, piece);
            // Made once piece 1 can be (the first piece still to write when resuming), and
            // before a byte of it is written.
            if (n == kept.Count() + 1 && !SaveCheckFile(kept)) return Discard(n, piece);
            if (!steps.yieldBeforeOpening && !YieldToWindow(done)) return Discard(n, piece);
            hooks_.SetStatus("Разделение файла " + name_ + steps.statusWord + PieceName(name_, n));
            const int64_t size = plan.SizeOf(n);
            const CopyResult copied = CopyPiece(piece, source, size, done, false);
            // On the disk before its line: after a power cut a listed piece must hold its bytes.
            if (copied.stopped || copied.written != size || !piece.Flush()) {
                if (!copied.stopped)
                    ShowCopyFailure(copied, "Невозможно записать часть " + path + " полностью!");
                return Discard(n, piece);
            }
            piece.Close();
            if (!NotePiece(n)) return Discard(n, piece);
            done += size;
        }
        if (steps.yieldBeforeOpening && !YieldToWindow(done)) return Discard(plan.count, piece);
        RemoveStaleRun(plan.count + 1);
        if (!NoteWhole()) return Discard(plan.count, piece);
        // A complete set is not resumed.
        RemoveWholeState();
        recovery_.FinishBeside(hooks_);
        return true;
    }

    // Makes the target folder on the disk in the drive when it lacks it, and only then
    // measures the disk: on FAT the new folder takes a cluster of the free space. Room for
    // the check file with piece n's line and the whole file's is kept, whole clusters of it.
    DiskRoom PrepareDisk(int64_t n) {
        const std::string root = Letter() + ":\\";
        if (!IsExistingFolder(request_.targetFolder)) system_.makeFolder(request_.targetFolder);
        DiskRoom disk;
        // A failed measurement counts as a disk without free space.
        disk.freeBytes = system_.freeSpace(root).value_or(0);
        disk.largestFile = LargestFileOn(system_.fileSystem(root));
        if (feed_) {
            const uint64_t cluster =
                std::max<uint32_t>(1, system_.clusterSize(root).value_or(kUsualCluster));
            disk.checkRoom =
                std::max<uint64_t>(1, (check_.BytesWith(n) + cluster - 1) / cluster) * cluster;
        }
        return disk;
    }

    std::string InsertDiskText() const {
        return "Вставте другой диск " + Letter() + " для записи части " + name_ + " и нажмите Ок.";
    }

    std::string Letter() const { return request_.targetFolder.substr(0, 1); }

    // Asks for one disk after another, writes onto each a piece as large as it holds, and
    // notes each piece in the check file on its disk.
    bool OntoDisks() {
        if (!hooks_.AskOkCancel(InsertDiskText())) return false;
        DiskRoom disk = PrepareDisk(1);
        if (disk.HoldsWhole(fileSize_)) return CopyWholeFile();
        if (request_.recovery) recovery_.BeginInTemp(hooks_, feed_.get());
        if (recovery_.Active()) BeginPieceLaneAtFirst();

        FileStream source;
        if (!OpenSource(source)) return false;
        int64_t written = 0;
        for (int64_t n = 1;;) {
            if (!WaitForRoom(disk, n)) return false;
            const int64_t size = static_cast<int64_t>(
                std::min<uint64_t>(disk.PieceRoom(), static_cast<uint64_t>(fileSize_ - written)));
            const std::optional<int64_t> taken = WriteDiskPiece(source, n, written, size);
            if (!taken) return false;
            // A disk that took nothing leaves its piece number to the next one.
            if (*taken > 0) {
                written += *taken;
                if (!NotePiece(n)) return false;
                if (written == fileSize_) return NoteWhole() && FinishRecoveryOnDisks();
                if (!FlushCheckFile()) return false;
                checkMade_ = false; // the next disk has none of this split's yet
                ++n;
            }
            if (!hooks_.AskOkCancel(InsertDiskText())) return false;
            disk = PrepareDisk(n);
        }
    }

    // The recovery file onto the last disk, or one more; false on a stop.
    bool FinishRecoveryOnDisks() {
        const auto room = [this] {
            if (!IsExistingFolder(request_.targetFolder)) system_.makeFolder(request_.targetFolder);
            const std::string root = Letter() + ":\\";
            const uint64_t free = system_.freeSpace(root).value_or(0);
            return std::min(free, LargestFileOn(system_.fileSystem(root)).value_or(free));
        };
        return recovery_.FinishOnDisks(hooks_, {Letter(), room, [this] { return KeepGoing(); }});
    }

    // Asks for another disk while the one in the drive has no room; false on Cancel.
    bool WaitForRoom(DiskRoom& disk, int64_t n) {
        const std::string noSpace = "Свободное место на диске " + Letter() + ":\\" +
                                    " отсутствует." + "\n\r" + "Вставте другой диск и нажмите Ок.";
        while (disk.PieceRoom() == 0) {
            if (!hooks_.AskOkCancel(noSpace)) return false;
            disk = PrepareDisk(n);
        }
        return true;
    }

    // Writes piece n, size bytes from byte start of the source, onto the disk in the drive.
    // The bytes the disk took: fewer when it took less than it said (the piece ends there and
    // the source goes back to the first byte it did not take), none when it took nothing (the
    // piece and this disk's check file are gone). Nothing after a message or a stop.
    std::optional<int64_t> WriteDiskPiece(FileStream& source, int64_t n, int64_t start,
                                          int64_t size) {
        FileStream piece;
        if (!YieldToWindow(start, 0, size)) return StopOnDisk(n, piece, false);
        if (!recovery_.ClearOnDisk([this] { return KeepGoing(); }))
            return StopOnDisk(n, piece, false);
        // Whichever disk is read, its check file tells what is on the disks so far.
        if (!SaveCheckFile()) return std::nullopt;
        const std::string path = PieceAt(n);
        if (!OpenPiece(piece, path)) return std::nullopt;
        const CopyResult copied = CopyPiece(piece, source, size, start, true);
        if (copied.stopped) return StopOnDisk(n, piece, true);
        if (copied.written < size && !copied.noRoom) {
            ShowCopyFailure(copied, "Невозможно записать часть " + path + " полностью!");
            return std::nullopt;
        }
        if (copied.written < size) {
            // Only the bytes the piece holds went to the digests: the next disk must start
            // with the very next byte of the source, or the set would skip or repeat bytes.
            const int64_t next = start + copied.written;
            if (!CutPiece(piece, copied.written)) {
                hooks_.ShowMessage("Невозможно записать часть " + path + " полностью!");
                return DropDiskPiece(piece, path);
            }
            if (source.Seek(next, SeekOrigin::FromBeginning) != next) {
                hooks_.ShowMessage("Невозможно прочитать файл " + name_ +
                                   " с нужного места! Разделение прервано.");
                return DropDiskPiece(piece, path);
            }
            if (copied.written == 0) {
                DropDiskPiece(piece, path);
                return 0;
            }
        }
        // The user takes the disk out right after: what the system holds must be on it.
        if (!piece.Flush()) {
            hooks_.ShowMessage("Невозможно записать часть " + path + " полностью!");
            return std::nullopt;
        }
        return copied.written;
    }

    // Ends the piece after its first size bytes; false when it does not end there.
    static bool CutPiece(FileStream& piece, int64_t size) {
        if (piece.Seek(size, SeekOrigin::FromBeginning) != size) return false;
        piece.Write(nullptr, 0);
        return piece.Size() == size;
    }

    // Removes the piece and the check file on the disk in the drive: a piece that took nothing,
    // or one that cannot be told right, so that no check passes a set it would spoil. Always
    // nothing, for the caller to return.
    std::optional<int64_t> DropDiskPiece(FileStream& piece, const std::string& path) {
        piece.Close();
        RemoveFile(path);
        RemoveCheckFile();
        return std::nullopt;
    }

    // A stop removes the piece on the disk in the drive; the pieces on the earlier disks stay
    // there, and the user is told that they make no whole set.
    std::nullopt_t StopOnDisk(int64_t n, FileStream& piece, bool pieceOpened) {
        piece.Close();
        if (pieceOpened) {
            RemoveFile(PieceAt(n));
            RemoveCheckFile();
        }
        if (n > 1)
            hooks_.ShowMessage(
                "Разделение прервано. Части на предыдущих дисках не составляют полного набора.");
        return std::nullopt;
    }

    bool CopyWholeFile() {
        const std::string letter = Letter();
        if (!hooks_.AskOkCancel("Свободное место на диске " + letter + ":\\" +
                                " ольше размера файла" + "\n\r" + "Копировать файл" + name_ +
                                " без разделения?"))
            return false;
        FileStream source;
        if (!OpenSource(source)) return false;
        const std::string path = request_.targetFolder + name_;
        FileStream copy;
        if (!SaveCheckFile()) return false;
        if (!OpenTarget(copy, path, "Невозможно создание файла " + path + "!")) {
            RemoveCheckFile();
            return false;
        }
        const CopyResult copied = CopyPiece(copy, source, fileSize_, 0, true);
        if (!copied.stopped && copied.written == fileSize_ && copy.Flush()) {
            copy.Close();
            if (NoteWhole()) return true;
            RemoveCheckFile();
            return false;
        }
        RemoveCheckFile();
        if (copied.stopped || copied.noRoom) {
            // Nothing half-written may stay under the file's own name.
            copy.Close();
            RemoveFile(path);
        }
        if (copied.noRoom)
            hooks_.ShowMessage("Файл " + name_ + " не помещается на диск " + letter +
                               ":\\. Неполная копия удалена.");
        else if (!copied.stopped)
            ShowCopyFailure(copied, "Невозможно записать файл " + path + " полностью!");
        return false;
    }

    // Copies, not references: handlers running while the split yields may change the
    // caller's objects, and the split goes on with the values of the click.
    const SplitRequest request_;
    SplitHooks& hooks_;
    const SplitSystem system_;
    const std::string name_;
    int64_t fileSize_ = 0;
    CheckFileWriter check_;
    // Before the feed: the feed's threads, which may still work for it, end first.
    SplitRecovery recovery_;
    KeptPieceDigest keptDigest_;           // before the feed too: its lane works for it
    std::unique_ptr<HashFeed> feed_;       // none when the system has no SHA-256
    bool checkMade_ = false;               // on the disk in the drive
    const std::string statePath_;          // the whole file's digest state, beside the check file
    ListedDigits listed_;                  // the digits of the pieces in the check file so far
    int64_t keptCount_ = 0;                // the earlier run's pieces a resumed split goes on after
    std::optional<std::string> keptState_; // the whole file's digest state after them
    std::optional<StateBinding> keptBinding_; // and their lines
    bool savesState_ = false;                 // after each piece, for a resume
    bool wholeResting_ = false;               // while kept pieces are checked from a saved state
    bool pieceLaneAtFirst_ = false; // the piece lane, not the whole file's, gives piece 1's digits
};

} // namespace

void SplitFile(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system) {
    Splitter(request, hooks, system).Run();
}

void SplitFile(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace) {
    SplitSystem system;
    system.freeSpace = freeSpace;
    SplitFile(request, hooks, system);
}

void SplitFile(const SplitRequest& request, SplitHooks& hooks) {
    SplitFile(request, hooks, SplitSystem());
}
