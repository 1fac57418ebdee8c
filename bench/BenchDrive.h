// A scripted drive for the disk modes: one folder stands for the drive, each disk is a folder of
// its own beside it while it is out of the drive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/join/DiskJoin.h"

// The cluster of every scripted disk.
constexpr uint32_t kBenchCluster = 4096;

// The names of the files in a folder (ending in "\"), sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// A swap renames files within one file system: it copies no byte, so a timed join that swaps
// disks is not slowed by the swaps as it would be by copies, and the bytes stay in the cache.
class BenchDrive {
  public:
    // The drive is the folder root (ending in "\"); disk n is "disk<n>\" beside it. The drive
    // is taken to be empty.
    explicit BenchDrive(const std::string& root);

    const std::string& Root() const { return root_; }
    // The folder disk n (from 1) lies in while it is out of the drive.
    std::string Disk(size_t n) const;
    // Takes the disk in the drive out (its files back to its folder) and puts disk n in, a new
    // empty one when it has no folder yet; 0 leaves the drive empty. False when a file would
    // not move.
    bool Insert(size_t n);
    // The bytes the files in the drive take, in whole clusters.
    uint64_t Taken() const;
    // The join's drive question: the drive folder is removable, every other place fixed.
    JoinSystem System() const;

  private:
    std::string root_;
    std::string parent_;
    size_t inserted_ = 0;
};
