// The recovery files of a set on disks: the index "<file name>.par2" (the set's description
// only) and a volume "<file name>.vol<e>+1.par2" per recovery slice (its slice's packet, then
// the description), each cut from the one work file the slices were made into. They go onto
// the disk in the drive (the last piece's) while it has room, then onto further disks the user
// is asked for, as many on each as it takes; every such disk gets the check file of the whole
// set with a line per recovery file on it, and the last piece's disk, room permitting, a line
// for every recovery file of the set, wherever it goes.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/Hooks.h"

// The most recovery volumes a disk set may be asked for: its piece count is not known before
// the split, and each volume takes a disk's room as large as the largest piece.
constexpr int64_t MostDiskVolumes = 32;

// A run of bytes of the work file.
struct WorkRun {
    uint64_t at = 0;
    uint64_t size = 0;
};

// One recovery file: its name and the runs of the work file it holds, in order.
struct RecoveryPart {
    std::string name;
    std::vector<WorkRun> runs;
    bool volume = false; // a slice's; the index holds none
    uint64_t Bytes() const;
};

// The index and the volumes of a work file that holds `slices` recovery packets of packetBytes
// each and then the set's other packets, to its end at fileBytes.
std::vector<RecoveryPart> DiskRecoveryParts(const std::string& fileName, uint32_t slices,
                                            uint64_t packetBytes, uint64_t fileBytes);

// The room a volume needs on its disk besides its slice, for a set of `pieces` pieces: the
// recovery packet's header and the set's other packets, and the disk's check file with a
// volume's line, in whole clusters of each. checkBytes: the check file's bytes with the lines of
// pieces 1 .. n and the whole file's.
uint64_t VolumeRoomBesideSlice(const std::string& fileName, int64_t pieces, int64_t n,
                               uint64_t checkBytes, uint64_t cluster);

// What the recovery files ask of the drive, its disks and the check file.
struct VolumeDisks {
    std::string letter; // of the drive
    std::string folder; // the target folder on it, ending in "\"
    // The free bytes of the disk in the drive, its target folder made first, and its cluster.
    std::function<uint64_t()> freeBytes;
    std::function<uint64_t()> cluster;
    // Lets the window run during a copy; false on a stop.
    std::function<bool()> keepGoing;
    // An older set's recovery files of the name on the disk in the drive go; the names that
    // another's files hold there. Nothing on a stop.
    std::function<std::optional<std::vector<std::string>>()> clearDisk;
    // The check file's bytes with every piece's line and the whole file's.
    uint64_t setCheckBytes = 0;
    // Writes the check file of the whole set onto the disk in the drive; false after telling.
    std::function<bool()> saveCheckFile;
    // Adds the line of a recovery file (its digits, its name) to it, on the disk; false after
    // telling.
    std::function<bool(const std::string& digits, const std::string& name)> noteFile;
};

enum class VolumesEnd { Written, Cancelled, Stopped, Failed };

struct VolumesWritten {
    VolumesEnd end = VolumesEnd::Failed;
    uint32_t volumes = 0; // written in full, each with its line
};

// Writes every part from the work file at workPath, onto the disk in the drive first; each
// further disk is asked for. A Cancel, a stop or a failed check file ends it with the parts
// written so far; a part cut short goes.
VolumesWritten WriteRecoveryParts(SplitHooks& hooks, const std::string& workPath,
                                  const std::vector<RecoveryPart>& parts, const VolumeDisks& disks);

// What the user learns when not every volume was written: how many were, of how many, and
// how many lost pieces the set now survives.
std::string VolumesLeftText(uint32_t written, uint32_t total);
// The completion box's line of the volumes written.
std::string VolumesDoneLine(uint32_t written, uint32_t total);
