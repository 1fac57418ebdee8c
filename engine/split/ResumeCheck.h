// A split by size or count that finds an interrupted one's pieces: the offer to go on after
// them, and their check against the source before any new piece is written.
#pragma once
#include <cstdint>

#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"
#include "engine/system/FileServices.h"

class SplitRun;

// Asks whether to go on after the pieces an interrupted split left; kept holds them when the
// user chose so. False when the user wants no split now.
bool OfferResume(SplitRun& run, const PiecePlan& plan, KeptPieces& kept);

// Reads the kept pieces' bytes of the source once, through the feed, so that the whole file's
// digest runs on through them, and checks each against its listed digest, the piece's own
// bytes beside them; done then counts them. A piece whose own bytes differ is written again
// from the source; a source that differs starts the split over (kept empty) when the user
// agrees. False when the split ends here, the earlier run's set kept.
bool CheckKeptPieces(SplitRun& run, const PiecePlan& plan, FileStream& source, KeptPieces& kept,
                     int64_t& done);
