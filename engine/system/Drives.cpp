// Full paths, the root of a removable drive that a path lies on, and what a disk holds: its
// free bytes, its cluster and its file system.
#include "engine/system/Drives.h"

#include <windows.h>

#include "engine/system/RunTimeLookup.h"

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

std::optional<uint32_t> ClusterBytes(const std::string& root) {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return std::nullopt;
    return sectorsPerCluster * bytesPerSector;
}

namespace {

// Whether the system has GetDiskFreeSpaceExA: NT 4 and later, or the consumer line after 95 OSR2.
bool HasExtendedFreeSpaceQuery() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        return version.dwMajorVersion >= 4;
    case VER_PLATFORM_WIN32_WINDOWS:
        return version.dwMajorVersion > 4 ||
               (version.dwMajorVersion == 4 && version.dwMinorVersion > 0) ||
               (version.dwMajorVersion == 4 && LOWORD(version.dwBuildNumber) >= 0x1111);
    default:
        return false;
    }
}

} // namespace

std::optional<uint64_t> FreeDiskBytes(const std::string& root) {
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    if (HasExtendedFreeSpaceQuery()) {
        const auto query =
            LookUpFunction<FreeSpaceEx>(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
        if (query) {
            // The bytes the caller may use respect quotas; the disk's total free bytes may not.
            ULARGE_INTEGER available, total, totalFree;
            if (!query(root.c_str(), &available, &total, &totalFree)) return std::nullopt;
            return available.QuadPart;
        }
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return std::nullopt;
    return static_cast<uint64_t>(sectorsPerCluster * bytesPerSector) * freeClusters;
}

std::string FileSystemName(const std::string& root) {
    char name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name,
                               sizeof name))
        return {};
    return name;
}

std::optional<uint64_t> LargestFileOn(const std::string& fileSystem) {
    constexpr uint64_t kLargestFatFile = 4294967295ull;
    for (const char* fat : {"FAT", "FAT12", "FAT16", "FAT32"})
        if (lstrcmpiA(fileSystem.c_str(), fat) == 0) return kLargestFatFile;
    return std::nullopt;
}
