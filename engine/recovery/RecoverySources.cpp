// The recovery files found beside a set, their slices gathered, and the volumes counted and named.
#include "engine/recovery/RecoverySources.h"

#include <windows.h>

#include <algorithm>

#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Reader.h"
#include "engine/system/FileServices.h"

namespace {

// The most volume files read: a repair tool writes a handful (one per doubling of slices).
constexpr size_t kMostVolumes = 256;

// Whether two files describe the same pieces.
bool SameSet(const Par2Reading::Set& a, const Par2Reading::Set& b) {
    return a.setId == b.setId && a.sliceSize == b.sliceSize && a.pieces.size() == b.pieces.size();
}

// Adds a file's slices whose exponent is not had yet.
void AddSlices(RecoverySources& found, const Par2Reading::Set& set, const std::string& path) {
    for (const Par2Slice& slice : set.slices) {
        const auto had =
            std::find_if(found.slices.begin(), found.slices.end(),
                         [&](const FoundSlice& s) { return s.exponent == slice.exponent; });
        if (had == found.slices.end()) found.slices.push_back({slice.exponent, path, slice.offset});
    }
    found.damaged = found.damaged || set.damagedSlices > 0;
}

} // namespace

// Walks from header to header.
void AddRecoveryExponents(const std::string& path, std::vector<uint32_t>& exponents) {
    FileStream file = OpenReadStream(path);
    const int64_t size = file.Size();
    char head[Par2HeaderSize + Par2ExponentSize];
    for (int64_t at = 0; at >= 0 && at < size;) {
        if (file.Seek(at, SeekOrigin::FromBeginning) != at ||
            file.Read(head, sizeof head) < Par2HeaderSize)
            return;
        const std::optional<Par2Head> packet = ReadPar2Head(std::string_view(head, sizeof head));
        if (!packet || packet->length > static_cast<uint64_t>(size - at)) return;
        if (IsRecoveryPacket(*packet) && packet->length >= sizeof head)
            exponents.push_back(static_cast<uint32_t>(
                Par2Number(std::string_view(head, sizeof head), Par2HeaderSize, 4)));
        at += static_cast<int64_t>(packet->length);
    }
}

size_t CountRecoverySlices(const std::string& folder, const std::string& baseName) {
    std::vector<uint32_t> exponents;
    const std::string index = folder + RecoveryFileName(baseName);
    if (IsExistingFile(index)) AddRecoveryExponents(index, exponents);
    for (const std::string& name : RecoveryVolumes(folder, baseName))
        AddRecoveryExponents(folder + name, exponents);
    std::sort(exponents.begin(), exponents.end());
    return static_cast<size_t>(std::unique(exponents.begin(), exponents.end()) - exponents.begin());
}

std::vector<std::string> RecoveryVolumes(const std::string& folder, const std::string& baseName) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    const std::string pattern = folder + baseName + ".vol*.par2";
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (names.size() < kMostVolumes && FindNextFileA(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool HasRecoveryFiles(const std::string& folder, const std::string& baseName) {
    return IsExistingFile(folder + RecoveryFileName(baseName)) ||
           !RecoveryVolumes(folder, baseName).empty();
}

bool AddRecoveryFile(RecoverySources& found, const std::string& path, bool first,
                     const std::function<bool()>& keepGoing) {
    const RecoveryFileReading reading = ReadRecoveryFile(path, keepGoing);
    if (reading.stopped) {
        found.stopped = true;
        return false;
    }
    if (first && !reading.set) found.verdict = reading.verdict;
    // A file of another set, or damaged beyond its slices, is passed over.
    if (!reading.set || (found.set && !SameSet(*found.set, *reading.set))) {
        found.damaged = found.damaged || reading.verdict == Par2Verdict::Damaged;
        return true;
    }
    if (!found.set) found.set = reading.set;
    AddSlices(found, *reading.set, path);
    std::sort(found.slices.begin(), found.slices.end(),
              [](const FoundSlice& a, const FoundSlice& b) { return a.exponent < b.exponent; });
    return true;
}

RecoverySources ReadRecoverySources(const std::string& folder, const std::string& baseName,
                                    const std::function<bool()>& keepGoing) {
    RecoverySources found;
    std::vector<std::string> paths;
    const std::string index = folder + RecoveryFileName(baseName);
    if (IsExistingFile(index)) paths.push_back(index);
    for (const std::string& name : RecoveryVolumes(folder, baseName))
        paths.push_back(folder + name);
    for (size_t i = 0; i < paths.size(); ++i)
        if (!AddRecoveryFile(found, paths[i], i == 0, keepGoing)) break;
    return found;
}
