// The room the disk method measures on each inserted disk, and the cluster it takes where a
// disk's cannot be had.
#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>

// The cluster taken for a disk whose cluster size cannot be had.
constexpr uint32_t kUsualCluster = 4096;

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
