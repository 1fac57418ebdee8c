// Splitting one file into a numbered piece set: by count, by piece size, or onto removable disks.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/Hooks.h"

enum class SplitMethod { ByCount, BySize, OntoDisks };

// What the split page holds at the click. Numbers are parsed wide so that a text whose digits
// do not fit in 32 bits is refused instead of wrapping to another number.
struct SplitRequest {
    std::string sourcePath;
    std::string targetFolder; // ends in "\" whenever it is not empty
    SplitMethod method = SplitMethod::OntoDisks;
    int64_t count = 0;          // the count box's number
    int64_t sizeValue = 0;      // the size box's number, in units
    int64_t unitMultiplier = 1; // bytes per unit
};

// The free bytes of the disk at a root such as "A:\"; nothing when it cannot be measured.
using FreeSpaceQuery = std::function<std::optional<uint64_t>(const std::string& root)>;

// Does the whole split and tells every outcome through the hooks; pieces stay on disk.
void SplitFile(const SplitRequest& request, SplitHooks& hooks);
// The same, with the free space of each inserted disk measured by freeSpace.
void SplitFile(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace);
