// Full paths and the root of a removable drive that a path lies on.
#include "engine/system/Drives.h"

#include <windows.h>

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::string full(MAX_PATH, '\0');
    DWORD size =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size >= full.size()) {
        // A long path: the size asked for counts the ending zero.
        full.assign(size, '\0');
        size =
            GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (size == 0 || size >= full.size()) return path;
    full.resize(size);
    return full;
}

std::optional<std::string> RemovableDriveRoot(const std::string& path) {
    const std::string full = FullPath(path);
    // Only a drive letter names a drive whose disks are swapped; "\\server\share" never does.
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\') return std::nullopt;
    const std::string root = full.substr(0, 3);
    const UINT type = GetDriveTypeA(root.c_str());
    if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM) return std::nullopt;
    return root;
}
