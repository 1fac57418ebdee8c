// The disk rows: a set split onto scripted disks with recovery volumes, and its join from them.
#include "bench/DiskBench.h"

#include <algorithm>
#include <cstdio>

#include "bench/BenchDrive.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"
#include "engine/system/FileServices.h"
#include "engine/system/Text.h"

namespace {

// How many questions a join may ask per disk before the run counts as looping.
constexpr size_t kQuestionsPerDisk = 3;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

uint64_t WholeClusters(uint64_t bytes) {
    return (bytes + kBenchCluster - 1) / kBenchCluster * kBenchCluster;
}

// The room of each disk: an equal share of the file and a margin for the check file and a
// volume's packets; small beside the share, so that the file takes `disks` piece disks.
uint64_t DiskBytes(uint64_t fileBytes, uint64_t disks) {
    const uint64_t share = WholeClusters((fileBytes + disks - 1) / disks);
    return share + WholeClusters(std::clamp<uint64_t>(share / 8, kBenchCluster, 1 << 20));
}

// Tells why a run is no measurement; false.
bool Wrong(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    return false;
}

// The same as an exit code.
int Refuse(const char* why) {
    Wrong(why);
    return 1;
}

// Takes each "insert another disk" prompt of the disk method with OK and a new empty disk.
struct DiskSetHooks : QuietHooks {
    explicit DiskSetHooks(BenchDrive& drive) : drive(drive) {}
    bool AskOkCancel(const std::string&) override { return drive.Insert(++disks); }
    BenchDrive& drive;
    size_t disks = 0;
};

// Whether the split left piece n on disk n for every piece disk and no piece beyond, with
// every volume written.
bool LaidOut(const BenchDrive& drive, const DiskSetHooks& hooks, const std::string& name,
             int64_t disks, int64_t slices) {
    for (int64_t n = 1; n <= disks; ++n)
        if (!IsExistingFile(PiecePath(drive.Disk(static_cast<size_t>(n)), name, n)))
            return Wrong("a piece disk lacks its piece");
    for (size_t d = 1; d <= hooks.disks; ++d)
        if (IsExistingFile(PiecePath(drive.Disk(d), name, disks + 1)))
            return Wrong("the file took more piece disks than asked");
    const std::string volumes = "Записано томов восстановления: " + DecimalText(slices) + " из " +
                                DecimalText(slices) + ".";
    return !hooks.messages.empty() && EndsWith(hooks.messages.back(), volumes);
}

int RunDiskSet(const std::string& source, const std::string& root, int64_t disks, int64_t slices,
               const Measure& measure) {
    if (!IsExistingFolder(root)) MakeFolder(root);
    if (!FilesIn(root).empty()) return Refuse("the drive folder is not empty");
    BenchDrive drive(root);
    DiskSetHooks hooks(drive);
    const uint64_t diskBytes = DiskBytes(LookupFileSize(source), static_cast<uint64_t>(disks));
    SplitSystem system;
    system.freeSpace = [&drive, diskBytes](const std::string&) -> std::optional<uint64_t> {
        const uint64_t taken = drive.Taken();
        return taken < diskBytes ? diskBytes - taken : 0;
    };
    system.clusterSize = [](const std::string&) { return std::optional<uint32_t>(kBenchCluster); };
    system.fileSystem = [](const std::string&) { return std::string("FAT32"); };
    SplitRequest request;
    request.sourcePath = source;
    request.targetFolder = root;
    request.method = SplitMethod::OntoDisks;
    request.recovery = true;
    request.recoverySlices = slices;
    const std::string name = source.substr(source.find_last_of('\\') + 1);
    return measure(
        hooks, [&] { SplitFile(request, hooks, system); },
        [&] { return drive.Insert(0) && LaidOut(drive, hooks, name, disks, slices); });
}

// Answers each disk question by putting in the disk that holds the file the question names
// (Yes), but "No" for the lost piece's; a question for any volume disk gets the next disk with
// recovery files not put in yet. A question it cannot place, or too many questions, get
// Cancel, so that no run loops.
class DiskJoinHooks : public QuietHooks {
  public:
    DiskJoinHooks(BenchDrive& drive, std::vector<std::vector<std::string>> disks,
                  std::string lostPiece)
        : drive_(drive), disks_(std::move(disks)), lostPiece_(std::move(lostPiece)),
          used_(disks_.size() + 1, false) {}

    Reply AskYesNoCancel(const std::string& text) override {
        if (++asked_ > kQuestionsPerDisk * disks_.size()) return Reply::Cancel;
        const std::string named = FileNamed(text);
        if (!named.empty() && named == lostPiece_) {
            lostAsked = true;
            return Reply::No;
        }
        const size_t disk = named.empty() ? NextVolumeDisk() : DiskHolding(named);
        if (disk == 0 || !drive_.Insert(disk)) return Reply::Cancel;
        used_[disk] = true;
        return Reply::Yes;
    }
    bool lostAsked = false;

  private:
    // The file on some disk that the question's last request names; empty for none.
    std::string FileNamed(const std::string& text) const {
        const size_t at = text.rfind("Вставте диск ");
        const std::string request = at == std::string::npos ? text : text.substr(at);
        for (const std::vector<std::string>& files : disks_)
            for (const std::string& name : files)
                if (request.find(" " + name + ".") != std::string::npos ||
                    request.find(" " + name + " ") != std::string::npos)
                    return name;
        return {};
    }
    size_t DiskHolding(const std::string& name) const {
        for (size_t d = 0; d < disks_.size(); ++d)
            if (std::count(disks_[d].begin(), disks_[d].end(), name) > 0) return d + 1;
        return 0;
    }
    size_t NextVolumeDisk() const {
        for (size_t d = 0; d < disks_.size(); ++d)
            if (!used_[d + 1] &&
                std::any_of(disks_[d].begin(), disks_[d].end(),
                            [](const std::string& f) { return EndsWith(f, ".par2"); }))
                return d + 1;
        return 0;
    }

    BenchDrive& drive_;
    std::vector<std::vector<std::string>> disks_; // each disk's files, disk 1 first
    std::string lostPiece_;
    std::vector<bool> used_; // by disk number
    size_t asked_ = 0;
};

// Whether the join told the rebuild of exactly the lost piece (none when lost is 0).
bool RebuiltAsAsked(const DiskJoinHooks& hooks, int64_t lost) {
    const std::string told = hooks.messages.empty() ? std::string() : hooks.messages.back();
    if (lost == 0) return !hooks.lostAsked && told.find("восстановлен") == std::string::npos;
    return hooks.lostAsked &&
           told.find("Часть " + DecimalText(lost) + " восстановлена") != std::string::npos;
}

int RunDiskJoin(const std::string& root, const std::string& target, int64_t lost,
                const Measure& measure) {
    if (!FilesIn(root).empty()) return Refuse("the drive folder is not empty");
    BenchDrive drive(root);
    std::vector<std::vector<std::string>> disks;
    for (size_t d = 1; IsExistingFolder(drive.Disk(d)); ++d)
        disks.push_back(FilesIn(drive.Disk(d)));
    if (disks.empty()) return Refuse("no disk folder lies beside the drive folder");
    std::string name;
    for (const std::string& file : disks.front())
        if (EndsWith(file, ".sha256")) name = file.substr(0, file.size() - 7);
    if (name.empty()) return Refuse("disk 1 holds no check file");
    const int64_t first = lost == 1 ? 2 : 1;
    DiskJoinHooks hooks(drive, disks, lost > 0 ? PieceName(name, lost) : std::string());
    if (!drive.Insert(static_cast<size_t>(first))) return Refuse("the first disk would not go in");
    const std::string chosen = PiecePath(root, name, first);
    const JoinSystem system = drive.System();
    return measure(
        hooks, [&] { JoinPieces(chosen, target, hooks, system); },
        [&] { return drive.Insert(0) && RebuiltAsAsked(hooks, lost); });
}

} // namespace

std::optional<int> RunDiskMode(const std::vector<std::string>& args, const Measure& measure) {
    if (args.size() == 5 && args[0] == "disk-set") {
        const int64_t disks = ParseDecimalWide(args[3]), slices = ParseDecimalWide(args[4]);
        if (disks < 2 || slices < 1) return Refuse("disk-set needs 2 disks or more and a slice");
        return RunDiskSet(args[1], args[2], disks, slices, measure);
    }
    if (args.size() == 4 && args[0] == "disk-join") {
        const int64_t lost = ParseDecimalWide(args[3]);
        if (lost < 0) return Refuse("disk-join needs a piece number or 0");
        return RunDiskJoin(args[1], args[2], lost, measure);
    }
    return std::nullopt;
}
