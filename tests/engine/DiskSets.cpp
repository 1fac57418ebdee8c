// Scripted removable disks for the engine's tests: a drive folder whose disk is swapped at each
// prompt.
#include "DiskSets.h"

#include <windows.h>

#include "engine/system/Drives.h"
#include "engine/system/SameName.h"
#include "engine/split/Split.h"

namespace {

void MoveAll(const std::string& from, const std::string& to) {
    for (const std::string& name : FolderEntries(from))
        MoveFileA((from + name).c_str(), (to + name).c_str());
}

// Takes every insert prompt of the disk method with OK and swaps in the next empty disk.
struct SplitOntoDrive : RecordingHooks {
    explicit SplitOntoDrive(DiskDrive& drive) : drive(drive) {}
    bool AskOkCancel(const std::string& text) override {
        RecordingHooks::AskOkCancel(text);
        drive.Insert(++disks);
        return true;
    }
    DiskDrive& drive;
    size_t disks = 0;
};

} // namespace

DiskDrive::DiskDrive(const std::string& folder) : folder_(folder), root_(folder + "drive\\") {
    MakeFolder(root_);
}

std::string DiskDrive::Disk(size_t n) const { return folder_ + "disk" + std::to_string(n) + "\\"; }

void DiskDrive::InsertFrom(const std::string& disk) {
    if (!inserted_.empty()) MoveAll(root_, inserted_);
    inserted_ = disk;
    if (disk.empty()) return;
    MakeFolder(disk);
    MoveAll(disk, root_);
}

JoinSystem DiskDrive::System() const {
    JoinSystem system;
    const std::string root = root_;
    system.removableRoot = [root](const std::string& path) -> std::optional<std::string> {
        if (!StartsWithSameName(FullPath(path), root)) return std::nullopt;
        return root;
    };
    return system;
}

size_t DiskDrive::WriteSet(const std::string& name, const std::string& bytes,
                           const std::vector<uint64_t>& freeBytes) {
    const std::string source = folder_ + name;
    WriteWholeFile(source, bytes);
    SplitOntoDrive hooks(*this);
    size_t measured = 0;
    const SplitSystem system = ScriptedSystem([&](const std::string&) -> std::optional<uint64_t> {
        // Each disk has one cluster more, which its check file keeps.
        return freeBytes.at(measured++) + kTestCluster;
    });
    SplitFile(SplitRequestFor(source, root_, SplitMethod::OntoDisks, 0), hooks, system);
    RemoveFile(source);
    const size_t disks = hooks.disks;
    Insert(0);
    return disks;
}

DiskSwapHooks::DiskSwapHooks(DiskDrive& drive, std::initializer_list<size_t> plan) : drive_(drive) {
    for (const size_t n : plan)
        plan_.push_back(n == 0 ? std::string() : n == kNotThere ? kNo : drive.Disk(n));
}

Reply DiskSwapHooks::AskYesNoCancel(const std::string& text) {
    calls.push_back("choose: " + text);
    if (before) before(asked_ + 1);
    if (asked_ >= plan_.size() || plan_[asked_].empty()) return Reply::Cancel;
    const std::string& answer = plan_[asked_++];
    if (answer == kNo) return Reply::No;
    drive_.InsertFrom(answer);
    return Reply::Yes;
}
