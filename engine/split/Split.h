// Splitting one file into a numbered piece set: by count, by piece size, or onto removable disks.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/system/FileServices.h"
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
    bool recovery = false;      // "<file name>.par2" beside the set, when it can have one
    int64_t recoverySlices = 1; // the pieces it rebuilds (a disk set: its volumes)
};

// The free bytes of the disk at a root such as "A:\"; nothing when it cannot be measured.
using FreeSpaceQuery = std::function<std::optional<uint64_t>(const std::string& root)>;
// The name of the file system of the disk at a root ("FAT32"); empty when unknown.
using FileSystemQuery = std::function<std::string(const std::string& root)>;
// Makes the last level of a folder path; false when it cannot.
using FolderMaker = std::function<bool(const std::string& path)>;
// The bytes of one cluster of the disk at a root; nothing when unknown.
using ClusterQuery = std::function<std::optional<uint32_t>(const std::string& root)>;

// Opens the source for reading.
using SourceOpener = std::function<FileStream(const std::string& path)>;

// What the split asks of the system about the source, folders and disks, so that tests can
// script disks and sources.
struct SplitSystem {
    FreeSpaceQuery freeSpace = FreeDiskBytes;
    FileSystemQuery fileSystem = FileSystemName;
    FolderMaker makeFolder = MakeFolder;
    ClusterQuery clusterSize = ClusterBytes;
    SourceOpener openSource = OpenReadStream;
};

// Does the whole split and tells every outcome through the hooks. Its texts are kept word for
// word as users have always seen them, the odd ones too (" ольше", " to " in a Russian status,
// "Копировать файл" with no blank before the name). A split by size or count leaves a whole
// set or no piece of it; pieces written onto earlier disks stay there. Beside the pieces (on
// every disk, and beside a whole-file copy) goes "<file name>.sha256", which lists the pieces
// written in full and, once the set is complete, the whole file.
void SplitFile(const SplitRequest& request, SplitHooks& hooks);
// The same, with the free space of each inserted disk measured by freeSpace.
void SplitFile(const SplitRequest& request, SplitHooks& hooks, const FreeSpaceQuery& freeSpace);
// The same, with every disk and folder question put to system.
void SplitFile(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system);
