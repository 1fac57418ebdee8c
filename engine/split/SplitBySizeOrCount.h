// The pieces of a split by size or by count, written beside each other into the target folder.
#pragma once
#include <cstdint>

#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"
#include "engine/system/FileServices.h"

class SplitRun;

// The steps of writing a planned set. A failure or a stop removes every piece this run wrote;
// a resumed split keeps the earlier run's pieces, lines and state.
class PiecesBeside {
  public:
    PiecesBeside(SplitRun& run, const PiecePlan& plan) : run_(run), plan_(plan) {}

    // Before anything is read: who holds the recovery file's name in the folder, and the
    // recovery file begun when it was asked for. False on a stop.
    bool Prepare();
    // Opens the source, the window having its turn first where the method gives it; false
    // after telling the user, or on a stop.
    bool OpenSource(FileStream& source);
    // Writes the pieces after the kept ones from the source's position, done bytes in, each
    // flushed before its line goes into the check file (made as the first of them opens);
    // false after a message or a stop.
    bool Write(FileStream& source, const KeptPieces& kept, int64_t done);
    // The whole file's line, which completes the set, then the recovery file beside it;
    // pieces left from an earlier, longer split of the name go. False after telling the user.
    bool Finish();

  private:
    // Removes the pieces this run wrote, up to last, and the check file it made (a resumed
    // split's goes back to the earlier run's lines). Always false, for the caller to return.
    bool Discard(int64_t last, FileStream& open);
    // Pieces from first on are left from an earlier, longer split of the same name.
    void RemoveStaleRun(int64_t first);

    SplitRun& run_;
    const PiecePlan plan_;
};
