// Disk sets for the join's tests: one drive whose disks the user swaps, each disk a folder of
// its own, and a set written onto them by the program's disk method.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "engine/join/DiskJoin.h"

class DiskDrive {
  public:
    // The drive and its disks live in folder (ending in "\").
    explicit DiskDrive(const std::string& folder);

    // The folder that stands for the drive, ending in "\".
    const std::string& Root() const { return root_; }
    // Where disk n (from 1) lies while it is out of the drive (empty while it is in).
    std::string Disk(size_t n) const;
    // Takes the disk in the drive out (its files go back to its own folder, as they stand)
    // and puts disk n in; 0 leaves the drive empty.
    void Insert(size_t n) { InsertFrom(n == 0 ? std::string() : Disk(n)); }
    // The same with any folder as the disk (another drive's disk); empty leaves the drive empty.
    void InsertFrom(const std::string& disk);
    // The drive's questions: the drive folder is removable, everything else fixed.
    JoinSystem System() const;

    // Writes bytes as "<name>" onto disks with these free bytes with the program's disk
    // method; returns the number of disks it took. Leaves the drive empty.
    size_t WriteSet(const std::string& name, const std::string& bytes,
                    const std::vector<uint64_t>& freeBytes);

    // Lays bytes out as "<name>" on disks of one size with slices recovery volumes, as the disk
    // method does: split by size (pieceSize, the disks' room) with the recovery file, which is
    // cut into the index "<name>.par2" (its description packets) and a volume per slice. Piece n
    // on disk n, each disk's check file listing the pieces up to it; the last piece's disk
    // takes the index and the first onLast volumes, further disks one volume each, and those
    // disks' check files list every piece, the whole file and then their recovery files. With
    // oldStyle the recovery file goes whole onto the last disk, unlisted, as older sets have it.
    // Returns the disks it took; leaves the drive empty.
    size_t WriteVolumeSet(const std::string& name, const std::string& bytes, int64_t pieceSize,
                          uint32_t slices, uint32_t onLast, bool oldStyle = false);

  private:
    std::string folder_;
    std::string root_;
    std::string inserted_; // the folder of the disk in the drive
};

// Join hooks that answer each disk question by inserting the next disk of a plan and Yes
// (0, or an empty folder: Cancel; kNotThere, or kNo in a plan of folders: No, the drive left as
// it is). A question beyond the plan is answered with Cancel, so that no test can loop for ever.
// before, when set, runs ahead of each answer with the question's number (from 1).
struct DiskSwapHooks : ProgressHooks {
    static constexpr size_t kNotThere = static_cast<size_t>(-1);
    static constexpr const char* kNo = "<no>";
    DiskSwapHooks(DiskDrive& drive, std::initializer_list<size_t> plan);
    DiskSwapHooks(DiskDrive& drive, std::vector<std::string> plan)
        : drive_(drive), plan_(std::move(plan)) {}
    Reply AskYesNoCancel(const std::string& text) override;
    std::function<void(size_t prompt)> before;

  private:
    DiskDrive& drive_;
    std::vector<std::string> plan_;
    size_t asked_ = 0;
};
