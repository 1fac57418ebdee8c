// The index and the volumes of a disk set, cut from the work file and written disk by disk,
// each file's SHA-256 taken as it is written.
#include "engine/split/DiskVolumes.h"

#include <algorithm>

#include "engine/checkfile/CheckFile.h"
#include "engine/digest/Sha256.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/RecoveryWriter.h"
#include "engine/system/Utf8.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"

namespace {

// The bytes moved at a time from the work file onto a disk.
constexpr uint32_t kCopyRun = 1u << 20;

// The digits of the highest exponent, as repair tools pad every volume's.
int ExponentDigits(uint32_t slices) { return static_cast<int>(DecimalText(slices - 1).size()); }

// How writing one part ended.
enum class PartEnd { Written, Short, Stopped };

// Reads the part's runs from the work file into digest and, when there is one, into target.
PartEnd CopyRuns(FileStream* target, const std::string& workPath, const RecoveryPart& part,
                 Sha256& digest, const std::function<bool()>& keepGoing) {
    FileStream source = OpenReadStream(workPath);
    std::vector<char> buffer(kCopyRun);
    for (const WorkRun& run : part.runs) {
        if (source.Seek(static_cast<int64_t>(run.at), SeekOrigin::FromBeginning) !=
            static_cast<int64_t>(run.at))
            return PartEnd::Short;
        for (uint64_t done = 0; done < run.size;) {
            if (!keepGoing()) return PartEnd::Stopped;
            const uint32_t size =
                static_cast<uint32_t>(std::min<uint64_t>(kCopyRun, run.size - done));
            if (source.Read(buffer.data(), size) != size) return PartEnd::Short;
            digest.Add(buffer.data(), size);
            if (target && target->Write(buffer.data(), size) != size) return PartEnd::Short;
            done += size;
        }
    }
    return PartEnd::Written;
}

// The digits of the part's bytes, read from the work file; nothing on a stop or a short read.
std::optional<std::string> DigitsOfRuns(const std::string& workPath, const RecoveryPart& part,
                                        const std::function<bool()>& keepGoing) {
    Sha256 digest;
    if (CopyRuns(nullptr, workPath, part, digest, keepGoing) != PartEnd::Written)
        return std::nullopt;
    return digest.Finish();
}

// Writes the part as "<name>.~part", flushed, then under its name; the digits of its bytes.
// A part that cannot be written whole goes.
PartEnd WritePart(const std::string& workPath, const RecoveryPart& part, const VolumeDisks& disks,
                  std::string& digits) {
    const std::string path = disks.folder + part.name, work = path + ".~part";
    FileStream target = OpenWriteStream(work);
    Sha256 digest;
    PartEnd end = target.IsOpen() ? CopyRuns(&target, workPath, part, digest, disks.keepGoing)
                                  : PartEnd::Short;
    // The user takes the disk out right after: what the system holds must be on it.
    if (end == PartEnd::Written && !target.Flush()) end = PartEnd::Short;
    target.Close();
    const std::optional<std::string> finished = digest.Finish();
    if (end == PartEnd::Written && finished && ReplaceFileWith(work, path)) {
        digits = *finished;
        return end;
    }
    RemoveFile(work);
    return end == PartEnd::Stopped ? end : PartEnd::Short;
}

// The disk in the drive as the parts fill it: its free bytes when measured, the clusters the
// parts written since took, and its check file.
struct PartDisk {
    uint64_t freeBytes = 0;
    uint64_t cluster = 1;
    uint64_t used = 0;       // whole clusters of the parts written onto it
    uint64_t checkHeld = 0;  // clusters its check file held when it was measured
    uint64_t checkBytes = 0; // of its check file with the lines so far
    bool checkSaved = false;
    bool lastPieceDisk = false;
    std::vector<std::string> others; // names another's files hold on it

    uint64_t Clusters(uint64_t bytes) const { return (bytes + cluster - 1) / cluster * cluster; }
    // Whether a file of that size takes its room with the check file's line for it.
    bool Fits(uint64_t size, uint64_t lineBytes) const {
        const uint64_t check = std::max(Clusters(checkBytes + lineBytes), checkHeld) - checkHeld;
        return used + Clusters(size) + check <= freeBytes;
    }
    bool HeldByOther(const std::string& name) const {
        return std::any_of(others.begin(), others.end(),
                           [&](const std::string& other) { return SameName(other, name); });
    }
};

// The parts' way onto the disks.
class PartWriter {
  public:
    PartWriter(SplitHooks& hooks, const std::string& workPath, const VolumeDisks& disks)
        : hooks_(hooks), workPath_(workPath), disks_(disks) {}

    VolumesWritten Run(const std::vector<RecoveryPart>& parts) {
        // The last piece's disk is in the drive, its check file there already.
        if (!Measure(true)) return {VolumesEnd::Stopped, volumes_};
        if (const std::optional<VolumesEnd> end = ListOnLastDisk(parts)) return {*end, volumes_};
        for (const RecoveryPart& part : parts) {
            const std::optional<VolumesEnd> end = Place(part);
            if (end) return {*end, volumes_};
        }
        return {VolumesEnd::Written, volumes_};
    }

  private:
    // The disk in the drive measured, an older set's files gone; false on a stop.
    bool Measure(bool lastPieceDisk) {
        const std::optional<std::vector<std::string>> others = disks_.clearDisk();
        if (!others) return false;
        disk_ = PartDisk();
        disk_.others = *others;
        disk_.freeBytes = disks_.freeBytes();
        disk_.cluster = std::max<uint64_t>(1, disks_.cluster());
        disk_.checkBytes = disks_.setCheckBytes;
        disk_.checkHeld = lastPieceDisk ? disk_.Clusters(disks_.setCheckBytes) : 0;
        disk_.checkSaved = lastPieceDisk;
        disk_.lastPieceDisk = lastPieceDisk;
        return true;
    }

    // Whether the part's line is on the disk in the drive already.
    bool Listed() const { return disk_.lastPieceDisk && listedAll_; }

    std::optional<VolumesEnd> ListOnLastDisk(const std::vector<RecoveryPart>& parts);

    std::optional<VolumesEnd> Place(const RecoveryPart& part);
    bool AskForDisk(const RecoveryPart& part, const std::string& why);

    SplitHooks& hooks_;
    const std::string workPath_;
    const VolumeDisks& disks_;
    PartDisk disk_;
    uint32_t volumes_ = 0;
    bool listedAll_ = false; // the last piece's disk names every part
};

// The last piece's disk names every recovery file of the set in its check file, where it has
// the room, so that a join that lost disks knows which volumes to ask for by name: the disk
// with the whole file's line is the one a join reads last. Their digits are read back from the
// work file, as the further disks are not written yet. An end on a stop or a failed check file.
std::optional<VolumesEnd> PartWriter::ListOnLastDisk(const std::vector<RecoveryPart>& parts) {
    uint64_t lines = 0;
    for (const RecoveryPart& part : parts)
        lines += CheckLine(std::string(64, '0'), part.name).size();
    if (!disk_.Fits(0, lines)) return std::nullopt;
    std::vector<std::string> digits;
    for (const RecoveryPart& part : parts) {
        std::optional<std::string> read = DigitsOfRuns(workPath_, part, disks_.keepGoing);
        if (!read) return disks_.keepGoing() ? std::nullopt : std::optional(VolumesEnd::Stopped);
        digits.push_back(std::move(*read));
    }
    for (size_t i = 0; i < parts.size(); ++i)
        if (!disks_.noteFile(digits[i], parts[i].name)) return VolumesEnd::Failed;
    disk_.checkBytes += lines;
    listedAll_ = true;
    return std::nullopt;
}

// Writes the part onto the disk in the drive or the first further one that takes it; an end
// when it was not written.
std::optional<VolumesEnd> PartWriter::Place(const RecoveryPart& part) {
    const uint64_t line = CheckLine(std::string(64, '0'), part.name).size();
    std::string why; // what kept the disk in the drive from taking it, when not its room
    for (bool inDrive = true;; inDrive = false) {
        if (!inDrive) {
            if (!AskForDisk(part, why)) return VolumesEnd::Cancelled;
            if (!Measure(false)) return VolumesEnd::Stopped;
        }
        why.clear();
        if (disk_.HeldByOther(part.name)) {
            why = "Файл " + part.name + " на диске " + disks_.letter +
                  ":\\ принадлежит не этому набору частей и оставлен как есть.\n\r";
            continue;
        }
        if (!disk_.Fits(part.Bytes(), Listed() ? 0 : line)) continue;
        // A disk with recovery files tells by its own check file what the set is.
        if (!disk_.checkSaved && !disks_.saveCheckFile()) return VolumesEnd::Failed;
        disk_.checkSaved = true;
        std::string digits;
        const PartEnd end = WritePart(workPath_, part, disks_, digits);
        if (end == PartEnd::Stopped) return VolumesEnd::Stopped;
        // The disk took less than it said: another one may take it.
        if (end == PartEnd::Short) continue;
        if (!Listed()) {
            if (!disks_.noteFile(digits, part.name)) return VolumesEnd::Failed;
            disk_.checkBytes += line;
        }
        disk_.used += disk_.Clusters(part.Bytes());
        if (part.volume) ++volumes_;
        return std::nullopt;
    }
}

bool PartWriter::AskForDisk(const RecoveryPart& part, const std::string& why) {
    const std::string what =
        part.volume ? " для записи тома восстановления " : " для записи файла восстановления ";
    return hooks_.AskOkCancel(why + "Вставте другой диск " + disks_.letter + what + part.name +
                              " (" + DecimalText(static_cast<int64_t>(part.Bytes())) +
                              " байт) и нажмите Ок.");
}

// "потерянной части" after 1, 21, 31 ...; "потерянных частей" after the other numbers.
std::string LostPiecesWords(uint32_t count) {
    return count % 10 == 1 && count % 100 != 11 ? "потерянной части" : "потерянных частей";
}

} // namespace

uint64_t RecoveryPart::Bytes() const {
    uint64_t bytes = 0;
    for (const WorkRun& run : runs) bytes += run.size;
    return bytes;
}

uint64_t VolumeRoomBesideSlice(const std::string& fileName, int64_t pieces, int64_t n,
                               uint64_t checkBytes, uint64_t cluster) {
    const std::string digits(64, '0');
    std::vector<Par2Piece> described(static_cast<size_t>(std::max<int64_t>(pieces, 1)));
    for (size_t k = 0; k < described.size(); ++k) {
        described[k].name = Utf8FromCp1251(PieceName(fileName, static_cast<int64_t>(k) + 1));
        described[k].length = 1;
        if (static_cast<int64_t>(k) >= n)
            checkBytes +=
                CheckLine(digits, PieceName(fileName, static_cast<int64_t>(k) + 1)).size();
    }
    // The longest volume name there is.
    checkBytes +=
        CheckLine(digits,
                  RecoveryVolumeName(fileName, 0, 1,
                                     ExponentDigits(static_cast<uint32_t>(MostDiskVolumes))))
            .size();
    // The slice is the largest piece rounded up to a multiple of 4.
    const uint64_t packets = Par2HeaderSize + Par2ExponentSize + 3 +
                             DescribeSet(4, described, RecoveryCreator).packets.size();
    const auto clusters = [cluster](uint64_t bytes) {
        return (bytes + cluster - 1) / cluster * cluster;
    };
    return clusters(packets) + clusters(checkBytes);
}

std::vector<RecoveryPart> DiskRecoveryParts(const std::string& fileName, uint32_t slices,
                                            uint64_t packetBytes, uint64_t fileBytes) {
    const WorkRun described{slices * packetBytes, fileBytes - slices * packetBytes};
    std::vector<RecoveryPart> parts{{RecoveryFileName(fileName), {described}, false}};
    for (uint32_t e = 0; e < slices; ++e)
        parts.push_back({RecoveryVolumeName(fileName, e, 1, ExponentDigits(slices)),
                         {{e * packetBytes, packetBytes}, described},
                         true});
    return parts;
}

VolumesWritten WriteRecoveryParts(SplitHooks& hooks, const std::string& workPath,
                                  const std::vector<RecoveryPart>& parts,
                                  const VolumeDisks& disks) {
    return PartWriter(hooks, workPath, disks).Run(parts);
}

std::string VolumesLeftText(uint32_t written, uint32_t total) {
    if (written == 0)
        return "Тома восстановления не записаны. Набор частей полон и проверяется по файлу "
               "проверки, но потерянные части восстановить не сможет.";
    return "Записано томов восстановления: " + DecimalText(written) + " из " + DecimalText(total) +
           ". Набор частей восстановит не более " + DecimalText(written) + " " +
           LostPiecesWords(written) + ".";
}

std::string VolumesDoneLine(uint32_t written, uint32_t total) {
    return "Записано томов восстановления: " + DecimalText(written) + " из " + DecimalText(total) +
           ".";
}
