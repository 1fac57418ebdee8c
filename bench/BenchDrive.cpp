// Folders swapped in and out of one that stands for a removable drive, for the disk rows.
#include "bench/BenchDrive.h"

#include <windows.h>

#include <algorithm>

#include "engine/system/Drives.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"

namespace {

// Moves every file of one folder into another; false when one would not move.
bool MoveAll(const std::string& from, const std::string& to) {
    bool moved = true;
    for (const std::string& name : FilesIn(from))
        moved = MoveFileA((from + name).c_str(), (to + name).c_str()) && moved;
    return moved;
}

} // namespace

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

BenchDrive::BenchDrive(const std::string& root) : root_(root) {
    const std::string bare = root.substr(0, root.size() - 1);
    parent_ = bare.substr(0, bare.find_last_of('\\') + 1);
}

std::string BenchDrive::Disk(size_t n) const { return parent_ + "disk" + std::to_string(n) + "\\"; }

bool BenchDrive::Insert(size_t n) {
    const bool out = inserted_ == 0 || MoveAll(root_, Disk(inserted_));
    inserted_ = 0;
    if (!out || n == 0) return out;
    if (!IsExistingFolder(Disk(n))) MakeFolder(Disk(n));
    inserted_ = n;
    return MoveAll(Disk(n), root_);
}

uint64_t BenchDrive::Taken() const {
    uint64_t taken = 0;
    for (const std::string& name : FilesIn(root_))
        taken += (LookupFileSize(root_ + name) + kBenchCluster - 1) / kBenchCluster * kBenchCluster;
    return taken;
}

JoinSystem BenchDrive::System() const {
    JoinSystem system;
    const std::string root = root_;
    system.removableRoot = [root](const std::string& path) -> std::optional<std::string> {
        if (!StartsWithSameName(FullPath(path), root)) return std::nullopt;
        return root;
    };
    return system;
}
