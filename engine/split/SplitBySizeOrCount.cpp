// Writing a planned set of pieces beside each other: each piece copied, flushed and listed in
// the check file in turn, and on any failure every piece of this run removed again.
#include "engine/split/SplitBySizeOrCount.h"

#include "engine/split/SplitRun.h"

bool PiecesBeside::Prepare() {
    if (!run_.Recovery().JudgeBeside([this] { return run_.KeepGoing(); })) return false;
    // Only these two methods resume: they save the whole file's state after each piece.
    run_.SaveStateAfterEachPiece();
    if (run_.Request().recovery) run_.BeginRecoveryBeside(plan_);
    return true;
}

bool PiecesBeside::OpenSource(FileStream& source) {
    FileStream none;
    if (run_.YieldsBeforeOpening() && !run_.YieldToWindow(0)) return Discard(0, none);
    if (!run_.OpenSource(source)) return Discard(0, none);
    return true;
}

bool PiecesBeside::Write(FileStream& source, const KeptPieces& kept, int64_t done) {
    const bool yieldFirst = run_.YieldsBeforeOpening();
    FileStream piece;
    for (int64_t n = kept.Count() + 1; n <= plan_.count; ++n) {
        if (yieldFirst && !run_.YieldToWindow(done)) return Discard(n - 1, piece);
        const std::string path = run_.PieceAt(n);
        if (!run_.OpenPiece(piece, path)) return Discard(n - 1, piece);
        // Made once piece 1 can be (the first piece still to write when resuming), and
        // before a byte of it is written.
        if (n == kept.Count() + 1 && !run_.SaveCheckFile(kept)) return Discard(n, piece);
        if (!yieldFirst && !run_.YieldToWindow(done)) return Discard(n, piece);
        run_.ShowWritingPiece(n);
        const int64_t size = plan_.SizeOf(n);
        const CopyResult copied = run_.CopyPiece(piece, source, size, done, false);
        // On the disk before its line: after a power cut a listed piece must hold its bytes.
        if (copied.stopped || copied.written != size || !piece.Flush()) {
            if (!copied.stopped) run_.ShowCopyFailure(copied, SplitRun::PieceShortText(path));
            return Discard(n, piece);
        }
        piece.Close();
        if (!run_.NotePiece(n)) return Discard(n, piece);
        done += size;
    }
    if (yieldFirst && !run_.YieldToWindow(done)) return Discard(plan_.count, piece);
    return true;
}

bool PiecesBeside::Finish() {
    FileStream none;
    RemoveStaleRun(plan_.count + 1);
    if (!run_.NoteWhole()) return Discard(plan_.count, none);
    // A complete set is not resumed.
    run_.RemoveWholeState();
    // A stop while the recovery slices are made ends the split as a stop during a piece does.
    if (!run_.Recovery().FinishBeside(run_.Hooks())) return Discard(plan_.count, none);
    return true;
}

bool PiecesBeside::Discard(int64_t last, FileStream& open) {
    // A partial set would later join into a shorter file reported as done, and the source is
    // whole.
    open.Close();
    for (int64_t n = run_.KeptCount() + 1; n <= last; ++n) RemoveFile(run_.PieceAt(n));
    if (run_.KeptCount() > 0)
        run_.KeepEarlierRun();
    else
        run_.RemoveCheckFile();
    run_.Recovery().Drop();
    return false;
}

void PiecesBeside::RemoveStaleRun(int64_t first) {
    // They belong to no whole set any more, and a join would append them.
    for (int64_t n = first; IsExistingFile(run_.PieceAt(n)); ++n) RemoveFile(run_.PieceAt(n));
}
