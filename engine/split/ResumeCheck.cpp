// The resume's offer and the kept pieces' check: each read beside the source's bytes of it,
// written again when only the piece differs, the split started over when the source does.
#include "engine/split/ResumeCheck.h"

#include "engine/checkfile/SetCheck.h"
#include "engine/split/SplitRun.h"

namespace {

// What reading a kept piece beside the source's bytes of it found.
enum class KeptFinding { Same, PieceDiffers, SourceDiffers, Ended };

// The check of one resumed split's kept pieces.
class KeptPieceCheck {
  public:
    KeptPieceCheck(SplitRun& run, const PiecePlan& plan, FileStream& source)
        : run_(run), digests_(run.Digests()), hooks_(run.Hooks()), plan_(plan), source_(source) {}

    bool Check(KeptPieces& kept, int64_t& done) {
        // With the whole file's state saved after the kept pieces, their bytes are hashed once,
        // against their lines, and the whole file's digest goes on from the state after them.
        wholeResting_ = kept.Count() > 0 && kept.wholeState.has_value();
        if (wholeResting_) {
            digests_.RestWhole();
            digests_.BeginPieceLaneAtFirst();
        }
        if (kept.Count() > 0) digests_.BeginKept();
        for (int64_t n = 1; n <= kept.Count(); ++n) {
            if (!run_.YieldToWindow(done)) return false;
            hooks_.SetStatus(CheckingKeptPieceText(run_.Name(), n));
            const int64_t size = plan_.SizeOf(n);
            const std::string& listed = kept.digests[static_cast<size_t>(n - 1)];
            KeptFinding found = Read(n, size, done, listed);
            // The source is right there, and its bytes match the line: no question.
            if (found == KeptFinding::PieceDiffers) found = WriteAgain(n, size, done, listed);
            if (found == KeptFinding::SourceDiffers) return StartOver(n, kept, done);
            if (found != KeptFinding::Same) return false;
            done += size;
        }
        if (kept.Count() > 0) digests_.RestKept();
        return GoOn(kept);
    }

  private:
    // Reads kept piece n beside the source's bytes of it, which go to the file's digests;
    // Ended after telling the user, or on a stop.
    KeptFinding Read(int64_t n, int64_t size, int64_t done, const std::string& listed) {
        FileStream piece = OpenReadStream(run_.PieceAt(n));
        const SideBySideRead read = digests_.ReadKept(
            source_, piece, size, [&](int64_t got) { return run_.YieldToWindow(done + got); });
        if (read.source.stopped) return KeptFinding::Ended;
        if (read.source.written != size) {
            hooks_.ShowMessage(run_.SourceShortText());
            return KeptFinding::Ended;
        }
        const std::optional<std::string> digits = digests_.TakePiece(n);
        if (!digits) {
            hooks_.ShowMessage(DigestFailedText(run_.Request().sourcePath));
            return KeptFinding::Ended;
        }
        if (*digits != listed) return KeptFinding::SourceDiffers;
        const std::optional<std::string> own = digests_.KeptDigits();
        // A piece cut short or grown since it was measured is not the one listed either.
        const bool whole = read.pieceBytes == size && piece.Size() == size;
        return whole && own == listed ? KeptFinding::Same : KeptFinding::PieceDiffers;
    }

    // Writes kept piece n again from the source's bytes just checked, into a work file that
    // takes the piece's name only whole, on the disk and with the bytes of its line: a stop
    // or a failure leaves the earlier run's piece, for the next resume to write. Same once
    // written; SourceDiffers when the source changed since; Ended after telling the user, or
    // on a stop.
    KeptFinding WriteAgain(int64_t n, int64_t size, int64_t done, const std::string& listed) {
        const std::string path = run_.PieceAt(n), part = path + ".~part";
        run_.ShowWritingPiece(n);
        if (source_.Seek(done, SeekOrigin::FromBeginning) != done) {
            hooks_.ShowMessage(run_.SourceShortText());
            return KeptFinding::Ended;
        }
        FileStream target;
        if (!run_.OpenTarget(target, part, SplitRun::PieceNotMadeText(path)))
            return KeptFinding::Ended;
        HashingCopyFeed hashed;
        // Its bytes were counted as they were checked.
        const CopyResult copied = CopyStreamBytes(
            target, source_, size, [&](int64_t) { return run_.YieldToWindow(done + size); },
            &hashed);
        const bool whole = !copied.stopped && copied.written == size && target.Flush();
        target.Close();
        const std::optional<std::string> digits = whole ? hashed.Finish() : std::nullopt;
        if (digits == listed && ReplaceFileWith(part, path)) return KeptFinding::Same;
        RemoveFile(part);
        if (digits && digits != listed) return KeptFinding::SourceDiffers;
        if (whole && !digits)
            hooks_.ShowMessage(DigestFailedText(run_.Request().sourcePath));
        else if (!copied.stopped)
            run_.ShowCopyFailure(copied, SplitRun::PieceShortText(path));
        return KeptFinding::Ended;
    }

    // The source differs from kept piece n's line: the split starts over from piece 1 (kept
    // empty) when the user agrees. False when the split ends here, with nothing written.
    bool StartOver(int64_t n, KeptPieces& kept, int64_t& done) {
        if (!hooks_.AskOkCancel(KeptPieceDiffersQuestion(run_.Name(), n))) return false;
        kept = {};
        done = 0;
        wholeResting_ = false;
        if (source_.Seek(0, SeekOrigin::FromBeginning) != 0) {
            hooks_.ShowMessage(run_.SourceShortText());
            return false;
        }
        // The recovery file starts over with the feed.
        const bool recovering = run_.Recovery().Active();
        run_.Recovery().Drop();
        digests_.Restart();
        if (recovering) run_.BeginRecoveryBeside(plan_);
        return true;
    }

    // After the kept pieces' check: the whole file's digest goes on from the saved state when
    // it rested, and what a failure or a stop of this run leaves is noted. False after
    // telling the user.
    bool GoOn(const KeptPieces& kept) {
        if (wholeResting_) {
            wholeResting_ = false;
            if (!digests_.ResumeWhole(*kept.wholeState)) {
                hooks_.ShowMessage(DigestFailedText(run_.Request().sourcePath));
                return false;
            }
        }
        run_.NoteKeptPieces(kept);
        return true;
    }

    SplitRun& run_;
    SplitDigests& digests_;
    SplitHooks& hooks_;
    const PiecePlan& plan_;
    FileStream& source_;
    bool wholeResting_ = false; // while kept pieces are checked from a saved state
};

} // namespace

bool OfferResume(SplitRun& run, const PiecePlan& plan, KeptPieces& kept) {
    // Without a check file nothing tells what is on the medium.
    if (!run.Digests().Active()) return true;
    KeptPieces found = FindKeptPieces(run.Request().targetFolder, run.Name(), plan);
    if (found.Count() == 0) return true;
    switch (run.Hooks().AskYesNoCancel(ResumeQuestion(run.Name(), found.Count()))) {
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

bool CheckKeptPieces(SplitRun& run, const PiecePlan& plan, FileStream& source, KeptPieces& kept,
                     int64_t& done) {
    return KeptPieceCheck(run, plan, source).Check(kept, done);
}
