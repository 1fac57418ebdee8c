// Which drive a path lies on, and whether its disks can be taken out.
#pragma once
#include <optional>
#include <string>

// The path made whole against the current folder ("out\" in C:\work gives C:\work\out\); the
// path as it is when the system cannot.
std::string FullPath(const std::string& path);

// The root ("A:\") of the drive the path lies on when its disks can be taken out and swapped:
// a floppy, a USB stick, a memory card, a CD or DVD. Nothing on a fixed or network drive.
std::optional<std::string> RemovableDriveRoot(const std::string& path);
