// The split's side of the recovery file: made when the user asked for it and the set can have
// one, fed with every piece as it is written, and given its name beside the set once the check
// file is complete. It is a wish: whatever keeps it from being made, the split goes on.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/digest/HashFeed.h"
#include "engine/Hooks.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Parse.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/RecoveryWriter.h"
#include "engine/split/DiskVolumes.h"

// Who holds "<file name>.par2" where a set goes: nobody, an older Varnok set of the same name
// (the split's to replace or remove), or another tool or set, whose file the split leaves.
enum class RecoveryNameHolder { Nobody, ThisName, Other };

class SplitRecovery {
  public:
    // The feed lane the recovery file takes beside the split's two, and the feed's lane count
    // with it.
    static constexpr int ParityLane = 2;
    static constexpr int FeedLanes = 3;

    // slices: the recovery slices asked for, of the set beside each other (a disk set has one);
    // they are made from the source at sourcePath.
    SplitRecovery(const std::string& folder, const std::string& fileName,
                  const std::string& sourcePath = {}, int64_t slices = 1)
        : folder_(folder), fileName_(fileName), sourcePath_(sourcePath), slicesAsked_(slices) {}
    // Removes a work file left; the feed's threads have ended by then.
    ~SplitRecovery();
    SplitRecovery(const SplitRecovery&) = delete;
    SplitRecovery& operator=(const SplitRecovery&) = delete;

    // Starts building the file up in workPath when a set of pieceCount pieces can have one;
    // the user is told when it cannot. feed is the split's (none without a check file).
    void Begin(SplitHooks& hooks, HashFeed* feed, int64_t pieceCount, const std::string& workPath);
    // Tells who holds the recovery file's name in the set's folder, before a split by size or
    // count, with or without the recovery file; keepGoing as for ReadRecoveryFile. False on
    // a stop.
    bool JudgeBeside(const std::function<bool()>& keepGoing);
    // Starts it for a set of pieces beside each other, in the set's folder, as planned; not
    // when another's file holds its name.
    void BeginBeside(SplitHooks& hooks, HashFeed* feed, const PiecePlan& plan);
    bool Active() const { return writer_ != nullptr; }
    // The MD5 of the piece being written, for the split's piece lane to take beside its SHA-256
    // while Active(). It lives as long as this object, so a lane may go on adding to it after a
    // Drop.
    Md5& PieceMd5() { return pieceMd5_; }
    // The piece of that number was written in full, and the lane that takes PieceMd5() has
    // done its bytes; PieceMd5() starts afresh for the next piece.
    void EndPiece(HashFeed& feed, int64_t pieceNumber);
    // Completes the file and gives it its name beside the set; tells the user when it cannot.
    // Without it, removes an older set's file of the name. False on a stop while its slices
    // are made (the file then goes).
    bool FinishBeside(SplitHooks& hooks);
    // Before a piece goes onto the disk in the drive: an older set's recovery files of the
    // name there go, another's stay. False on a stop.
    bool ClearOnDisk(const std::function<bool()>& keepGoing);
    // The lines the completion text gains: another's file of the name left, the volumes
    // written onto disks; empty when there are none.
    std::string DoneLine() const;
    // The disk method's end, after the check file's whole-file line: the recovery slices made
    // (from the source, when more than one), then the index and the volumes onto the disk in
    // the drive and further disks the user is asked for (DiskVolumes.h). Cancel keeps the set
    // with the volumes written so far, and the user is told. False on a stop.
    bool FinishOnDisks(SplitHooks& hooks, const VolumeDisks& disks);
    // Before the recovery files go onto the disk in the drive: an older set's go, and the
    // names another's files hold there are given; nothing on a stop.
    std::optional<std::vector<std::string>>
    ClearRecoveryFiles(const std::function<bool()>& keepGoing);
    // Starts it for a set spread over disks, in the system's temporary folder, with as many
    // recovery slices as asked (within MostDiskVolumes).
    void BeginInTemp(SplitHooks& hooks, HashFeed* feed);

    // Stops the feed's lanes that work for it, then closes and removes the work file.
    void Drop();

    std::string FinalPath() const;
    RecoveryWriter* Writer() const { return writer_.get(); }
    // Drops the file and tells the user why the set goes on without it.
    void GiveUp(SplitHooks& hooks, const std::string& text);

  private:
    const std::string folder_, fileName_, sourcePath_;
    const int64_t slicesAsked_;
    uint32_t slices_ = 1; // of the file being made
    std::unique_ptr<RecoveryWriter> writer_;
    HashFeed* feed_ = nullptr; // whose lanes work for the writer
    bool tooMany_ = false;     // the disks took more pieces than the file can describe
    PiecePlan plan_;           // of a set beside each other; none (no pieces) onto disks
    Md5 pieceMd5_;
    RecoveryNameHolder holder_ = RecoveryNameHolder::Nobody; // of the name in the folder
    bool wanted_ = false;    // asked for, and not made because another's file holds the name
    bool otherLeft_ = false; // another's file of the name left on a disk
    uint32_t volumesWritten_ = 0, volumesMade_ = 0; // onto disks

    // Who holds the name in the folder (on the disk in the drive); nothing on a stop.
    std::optional<RecoveryNameHolder> Judge(const std::function<bool()>& keepGoing) const;
    // Who holds the file at path.
    std::optional<RecoveryNameHolder> JudgeFile(const std::string& path,
                                                const std::function<bool()>& keepGoing) const;
    bool NamesThisSet(const Par2Reading::Set& set) const;

    // Tells the writer that piece n, the plan's last, comes next.
    void ExpectLastPiece(int64_t n);

    // The complete work file's index and volumes onto the disks; false on a stop.
    bool WriteOntoDisks(SplitHooks& hooks, const VolumeDisks& disks);
    // Completes the work file of the set beside each other, its slices made from the source.
    SlicesMade Complete(SplitHooks& hooks);
};
