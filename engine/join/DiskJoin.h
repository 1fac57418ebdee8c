// Joining a set written by the disk method straight from its disks, asking for each in turn.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "engine/system/Drives.h"
#include "engine/Hooks.h"

// What the join asks of the system about drives, so that tests can script a drive whose disks
// the user swaps.
struct JoinSystem {
    // The root of the drive whose disks are swapped that the path lies on; nothing elsewhere.
    std::function<std::optional<std::string>(const std::string& path)> removableRoot =
        RemovableDriveRoot;
};

// Whether the chosen piece's set must be gathered disk by disk: the piece lies on a removable
// drive beside its set's check file, and that folder does not hold the whole set (the check
// file has no whole-file line, or a piece it lists is not there; but one piece missing beside
// the set's recovery file is rebuilt where the set is).
bool JoinsFromDisks(const std::string& chosenPiecePath, const JoinSystem& system);

// Joins such a set: the pieces the set needs next from the disk in the drive, then a question
// for the disk with the next piece, until a disk's check file has the whole-file line and
// every piece it lists is joined or lost (answered "Нет", or failing on its disk). Lost pieces
// are rebuilt from the set's recovery files, copied off the disks asked for until their slices
// suffice. Every disk's check file must agree with the lines read before, and the file
// gathered with the whole-file line. A Cancel or a stop leaves no gathering file, no work file
// and no output; an older output stays.
void JoinFromDisks(const std::string& chosenPiecePath, const std::string& targetFolder,
                   JoinHooks& hooks, const JoinSystem& system);
