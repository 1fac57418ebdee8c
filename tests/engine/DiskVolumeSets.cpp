// Disk sets with recovery volumes for the join's tests, laid out as the disk method lays them:
// a split by size whose single recovery file is cut into the index and one volume per slice.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "DiskSets.h"
#include "engine/checkfile/CheckFile.h"
#include "engine/digest/Sha256.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/split/Split.h"

namespace {

using NamedBytes = std::pair<std::string, std::string>;

// A recovery file's packets: those of the description, in order, and the recovery slices.
struct Par2Cut {
    std::string description;
    std::vector<std::string> slices;
};

Par2Cut CutRecoveryFile(const std::string& bytes) {
    Par2Cut cut;
    for (size_t at = 0; at < bytes.size();) {
        const std::optional<Par2Head> head = ReadPar2Head(std::string_view(bytes).substr(at));
        if (!head || head->length > bytes.size() - at) {
            ADD_FAILURE() << "no packet at " << at;
            break;
        }
        const std::string packet = bytes.substr(at, head->length);
        if (IsRecoveryPacket(*head))
            cut.slices.push_back(packet);
        else
            cut.description += packet;
        at += head->length;
    }
    return cut;
}

std::string LineOf(const NamedBytes& file) {
    Sha256 digest;
    digest.Add(file.second.data(), file.second.size());
    return CheckLine(digest.Finish().value_or(""), file.first);
}

// The digits of the highest exponent, as the volumes' names are padded.
int ExponentDigits(uint32_t slices) { return static_cast<int>(std::to_string(slices - 1).size()); }

// Writes files and a check file of lines and then the files' own lines onto disk.
void WriteDisk(const std::string& disk, const std::string& name, const std::string& lines,
               const std::vector<NamedBytes>& files, bool listed) {
    MakeFolder(disk);
    std::string check = lines;
    for (const NamedBytes& file : files) {
        WriteWholeFile(disk + file.first, file.second);
        if (listed) check += LineOf(file);
    }
    WriteWholeFile(disk + CheckFileName(name), check);
}

} // namespace

size_t DiskDrive::WriteVolumeSet(const std::string& name, const std::string& bytes,
                                 int64_t pieceSize, uint32_t slices, uint32_t onLast,
                                 bool oldStyle) {
    const std::string scratch = folder_ + "scratch\\";
    MakeFolder(scratch);
    WriteWholeFile(scratch + name, bytes);
    SplitRequest request = SplitRequestFor(scratch + name, scratch, SplitMethod::BySize, pieceSize);
    request.recovery = true;
    request.recoverySlices = slices;
    RecordingHooks split;
    SplitFile(request, split);
    const std::vector<CheckEntry> entries =
        ParseCheckFile(ReadWholeFile(scratch + CheckFileName(name))).entries;
    const std::string par2 = ReadWholeFile(scratch + RecoveryFileName(name));
    std::vector<NamedBytes> onLastDisk, volumes;
    if (oldStyle) {
        onLastDisk.push_back({RecoveryFileName(name), par2});
    } else {
        const Par2Cut cut = CutRecoveryFile(par2);
        EXPECT_EQ(cut.slices.size(), slices);
        onLastDisk.push_back({RecoveryFileName(name), cut.description});
        for (uint32_t e = 0; e < cut.slices.size(); ++e)
            (e < onLast ? onLastDisk : volumes)
                .push_back({RecoveryVolumeName(name, e, 1, ExponentDigits(slices)),
                            cut.slices[e] + cut.description});
    }
    const size_t pieces = entries.size() - 1;
    std::string lines;
    for (size_t n = 1; n <= pieces; ++n) {
        lines += CheckLine(entries[n - 1].digits, entries[n - 1].name);
        MakeFolder(Disk(n));
        const std::string piece = PieceName(name, static_cast<int64_t>(n));
        MoveFileA((scratch + piece).c_str(), (Disk(n) + piece).c_str());
        const bool last = n == pieces;
        const std::string whole = last ? CheckLine(entries.back().digits, entries.back().name) : "";
        WriteDisk(Disk(n), name, lines + whole, last ? onLastDisk : std::vector<NamedBytes>{},
                  !oldStyle);
    }
    lines += CheckLine(entries.back().digits, entries.back().name);
    for (size_t i = 0; i < volumes.size(); ++i)
        WriteDisk(Disk(pieces + 1 + i), name, lines, {volumes[i]}, true);
    RemoveTree(scratch);
    Insert(0);
    return pieces + volumes.size();
}
