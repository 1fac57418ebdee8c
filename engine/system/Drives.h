// Which drive a path lies on, whether its disks can be taken out, and what the disk at a root
// holds.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The path made whole against the current folder ("out\" in C:\work gives C:\work\out\); the
// path as it is when the system cannot.
std::string FullPath(const std::string& path);

// The root ("A:\") of the drive the path lies on when its disks can be taken out and swapped:
// a floppy, a USB stick, a memory card, a CD or DVD. Nothing on a fixed or network drive.
std::optional<std::string> RemovableDriveRoot(const std::string& path);

// The bytes of one cluster of the disk at root ("A:\"); nothing when the query fails.
std::optional<uint32_t> ClusterBytes(const std::string& root);
// The bytes of the disk at root ("A:\") that the caller may use; nothing when the query fails.
std::optional<uint64_t> FreeDiskBytes(const std::string& root);
// The name of the file system of the volume at root ("FAT32", "NTFS"); empty when unknown.
std::string FileSystemName(const std::string& root);
// The largest file the named file system holds: 4,294,967,295 bytes for the FAT kinds,
// otherwise no limit.
std::optional<uint64_t> LargestFileOn(const std::string& fileSystem);
