// The disk method: each disk measured, a piece written onto it up to its room (less where the
// disk takes less than it said), the check file of the pieces so far beside it, the next disk
// asked for; or the whole file copied when the first disk holds it.
#include "engine/split/SplitOntoDisks.h"

#include <algorithm>

#include "engine/recovery/Par2.h"
#include "engine/split/DiskRoom.h"
#include "engine/split/DiskVolumes.h"
#include "engine/split/SplitRun.h"

namespace {

// One split onto disks in progress.
class DiskSplitter {
  public:
    explicit DiskSplitter(SplitRun& run)
        : run_(run), hooks_(run.Hooks()), system_(run.System()), name_(run.Name()),
          letter_(run.Request().targetFolder.substr(0, 1)) {}

    bool Run() {
        if (!hooks_.AskOkCancel(InsertDiskText())) return false;
        DiskRoom disk = PrepareDisk(1);
        if (disk.HoldsWhole(run_.FileSize())) return CopyWholeFile();
        if (run_.Request().recovery) {
            run_.BeginRecoveryInTemp();
            KeepRoom(disk, 1);
        }
        FileStream source;
        if (!run_.OpenSource(source)) return false;
        for (int64_t n = 1;;) {
            if (!WaitForRoom(disk, n)) return false;
            const int64_t size = static_cast<int64_t>(std::min<uint64_t>(
                disk.PieceRoom(), static_cast<uint64_t>(run_.FileSize() - written_)));
            const std::optional<int64_t> taken = WritePiece(source, n, written_, size);
            if (!taken) return false;
            // A disk that took nothing leaves its piece number to the next one.
            if (*taken > 0) {
                written_ += *taken;
                // Before piece n's line: the bytes with it and the whole file's.
                const uint64_t setCheckBytes = run_.CheckFileBytesWith(n);
                if (!run_.NotePiece(n)) return false;
                if (written_ == run_.FileSize())
                    return run_.NoteWhole() && FinishRecovery(n, setCheckBytes);
                if (!run_.FlushCheckFile()) return false;
                run_.LeaveCheckFileOnDisk();
                ++n;
            }
            if (!hooks_.AskOkCancel(InsertDiskText())) return false;
            disk = PrepareDisk(n);
        }
    }

  private:
    std::string Root() const { return letter_ + ":\\"; }

    std::string InsertDiskText() const {
        return "Вставте другой диск " + letter_ + " для записи части " + name_ + " и нажмите Ок.";
    }

    // The start of what the split says of the disk in the drive.
    std::string FreeSpaceText() const { return "Свободное место на диске " + letter_ + ":\\"; }

    // Makes the target folder on the disk in the drive when it lacks it, and only then
    // measures the disk: on FAT the new folder takes a cluster of the free space. A failed
    // measurement counts as a disk without free space.
    DiskRoom MeasureDisk() const {
        const std::string& folder = run_.Request().targetFolder;
        if (!IsExistingFolder(folder)) system_.makeFolder(folder);
        DiskRoom disk;
        disk.freeBytes = system_.freeSpace(Root()).value_or(0);
        disk.largestFile = LargestFileOn(system_.fileSystem(Root()));
        return disk;
    }

    uint64_t Cluster() const {
        return std::max<uint32_t>(1, system_.clusterSize(Root()).value_or(kUsualCluster));
    }

    // The disk in the drive, with room kept for the check file with piece n's line and the
    // whole file's, whole clusters of it.
    DiskRoom PrepareDisk(int64_t n) const {
        DiskRoom disk = MeasureDisk();
        KeepRoom(disk, n);
        return disk;
    }

    void KeepRoom(DiskRoom& disk, int64_t n) const {
        if (!run_.Digests().Active()) return;
        const uint64_t cluster = Cluster();
        disk.checkRoom =
            std::max<uint64_t>(1, (run_.CheckFileBytesWith(n) + cluster - 1) / cluster) * cluster;
        if (run_.Recovery().Active()) disk.checkRoom = KeptForVolumes(disk, n, cluster);
    }

    // A volume is its slice, as large as the largest piece, and packets besides: on disks of
    // one size a piece that filled its disk would leave a volume no disk to go onto. So every
    // piece disk keeps the room a volume needs besides its slice, and that of a volume disk's
    // check file, which lists every piece. The pieces are counted by this disk's room, with a
    // margin for later disks that take less.
    uint64_t KeptForVolumes(const DiskRoom& disk, int64_t n, uint64_t cluster) const {
        const uint64_t room = std::max<uint64_t>(1, disk.PieceRoom());
        const uint64_t rest = static_cast<uint64_t>(run_.FileSize() - written_);
        const int64_t estimate = n - 1 + static_cast<int64_t>((rest + room - 1) / room);
        const int64_t pieces = std::min(Par2MostPieces, estimate + estimate / 2 + 2);
        return VolumeRoomBesideSlice(name_, pieces, n, run_.CheckFileBytesWith(n), cluster);
    }

    // The recovery files onto the last disk, piece n's, and more; false on a stop.
    bool FinishRecovery(int64_t n, uint64_t setCheckBytes) {
        VolumeDisks disks;
        disks.letter = letter_;
        disks.folder = run_.Request().targetFolder;
        disks.freeBytes = [this] { return MeasureDisk().PieceRoom(); };
        disks.cluster = [this] { return Cluster(); };
        disks.keepGoing = [this] { return run_.KeepGoing(); };
        disks.clearDisk = [this] {
            return run_.Recovery().ClearRecoveryFiles([this] { return run_.KeepGoing(); });
        };
        disks.setCheckBytes = setCheckBytes;
        disks.saveCheckFile = [this, n] { return run_.SaveSetCheckFile(n + 1); };
        disks.noteFile = [this](const std::string& digits, const std::string& name) {
            return run_.NoteRecoveryFile(digits, name);
        };
        return run_.Recovery().FinishOnDisks(hooks_, disks);
    }

    // Asks for another disk while the one in the drive has no room; false on Cancel.
    bool WaitForRoom(DiskRoom& disk, int64_t n) {
        const std::string noSpace =
            FreeSpaceText() + " отсутствует." + "\n\r" + "Вставте другой диск и нажмите Ок.";
        while (disk.PieceRoom() == 0) {
            if (!hooks_.AskOkCancel(noSpace)) return false;
            disk = PrepareDisk(n);
        }
        return true;
    }

    std::optional<int64_t> WritePiece(FileStream& source, int64_t n, int64_t start, int64_t size);
    std::optional<int64_t> EndShortPiece(FileStream& source, FileStream& piece,
                                         const std::string& path, int64_t next, int64_t taken);
    static bool CutPiece(FileStream& piece, int64_t size);
    std::optional<int64_t> DropPiece(FileStream& piece, const std::string& path);
    std::nullopt_t StopOnDisk(int64_t n, FileStream& piece, bool pieceOpened);
    bool CopyWholeFile();
    bool ShowWholeCopyFailure(const CopyResult& copied, const std::string& path);

    SplitRun& run_;
    SplitHooks& hooks_;
    const SplitSystem& system_;
    const std::string& name_;
    const std::string letter_;
    int64_t written_ = 0; // of the source, onto the disks so far
};

// Writes piece n, size bytes from byte start of the source, onto the disk in the drive.
// The bytes the disk took: fewer when it took less than it said, none when it took nothing.
// Nothing after a message or a stop.
std::optional<int64_t> DiskSplitter::WritePiece(FileStream& source, int64_t n, int64_t start,
                                                int64_t size) {
    FileStream piece;
    if (!run_.YieldToWindow(start, 0, size)) return StopOnDisk(n, piece, false);
    if (!run_.Recovery().ClearOnDisk([this] { return run_.KeepGoing(); }))
        return StopOnDisk(n, piece, false);
    // Whichever disk is read, its check file tells what is on the disks so far.
    if (!run_.SaveCheckFile()) return std::nullopt;
    const std::string path = run_.PieceAt(n);
    if (!run_.OpenPiece(piece, path)) return std::nullopt;
    const CopyResult copied = run_.CopyPiece(piece, source, size, start, true);
    if (copied.stopped) return StopOnDisk(n, piece, true);
    if (copied.written < size && !copied.noRoom) {
        run_.ShowCopyFailure(copied, SplitRun::PieceShortText(path));
        return std::nullopt;
    }
    if (copied.written < size)
        return EndShortPiece(source, piece, path, start + copied.written, copied.written);
    // The user takes the disk out right after: what the system holds must be on it.
    if (!piece.Flush()) {
        hooks_.ShowMessage(SplitRun::PieceShortText(path));
        return std::nullopt;
    }
    return copied.written;
}

// The disk took fewer bytes than it said: the piece ends after them, and the source goes back
// to next, the first byte it did not take. Only the bytes the piece holds went to the digests:
// the next disk must start with the very next byte of the source, or the set would skip or
// repeat bytes. A disk that took nothing loses the piece and this disk's check file.
std::optional<int64_t> DiskSplitter::EndShortPiece(FileStream& source, FileStream& piece,
                                                   const std::string& path, int64_t next,
                                                   int64_t taken) {
    if (!CutPiece(piece, taken)) {
        hooks_.ShowMessage(SplitRun::PieceShortText(path));
        return DropPiece(piece, path);
    }
    if (source.Seek(next, SeekOrigin::FromBeginning) != next) {
        hooks_.ShowMessage("Невозможно прочитать файл " + name_ +
                           " с нужного места! Разделение прервано.");
        return DropPiece(piece, path);
    }
    if (taken == 0) {
        DropPiece(piece, path);
        return 0;
    }
    if (!piece.Flush()) {
        hooks_.ShowMessage(SplitRun::PieceShortText(path));
        return std::nullopt;
    }
    return taken;
}

// Ends the piece after its first size bytes; false when it does not end there.
bool DiskSplitter::CutPiece(FileStream& piece, int64_t size) {
    if (piece.Seek(size, SeekOrigin::FromBeginning) != size) return false;
    piece.Write(nullptr, 0);
    return piece.Size() == size;
}

// Removes the piece and the check file on the disk in the drive: a piece that took nothing,
// or one that cannot be told right, so that no check passes a set it would spoil. Always
// nothing, for the caller to return.
std::optional<int64_t> DiskSplitter::DropPiece(FileStream& piece, const std::string& path) {
    piece.Close();
    RemoveFile(path);
    run_.RemoveCheckFile();
    return std::nullopt;
}

// A stop removes the piece on the disk in the drive; the pieces on the earlier disks stay
// there, and the user is told that they make no whole set.
std::nullopt_t DiskSplitter::StopOnDisk(int64_t n, FileStream& piece, bool pieceOpened) {
    piece.Close();
    if (pieceOpened) {
        RemoveFile(run_.PieceAt(n));
        run_.RemoveCheckFile();
    }
    if (n > 1)
        hooks_.ShowMessage(
            "Разделение прервано. Части на предыдущих дисках не составляют полного набора.");
    return std::nullopt;
}

// The first disk holds the whole file: it is copied under its own name, with the check file
// of the whole file beside it, when the user agrees.
bool DiskSplitter::CopyWholeFile() {
    if (!hooks_.AskOkCancel(FreeSpaceText() + " ольше размера файла" + "\n\r" + "Копировать файл" +
                            name_ + " без разделения?"))
        return false;
    FileStream source;
    if (!run_.OpenSource(source)) return false;
    const std::string path = run_.Request().targetFolder + name_;
    FileStream copy;
    if (!run_.SaveCheckFile()) return false;
    if (!run_.OpenTarget(copy, path, "Невозможно создание файла " + path + "!")) {
        run_.RemoveCheckFile();
        return false;
    }
    const CopyResult copied = run_.CopyPiece(copy, source, run_.FileSize(), 0, true);
    if (!copied.stopped && copied.written == run_.FileSize() && copy.Flush()) {
        copy.Close();
        if (run_.NoteWhole()) return true;
        run_.RemoveCheckFile();
        return false;
    }
    run_.RemoveCheckFile();
    if (copied.stopped || copied.noRoom) {
        // Nothing half-written may stay under the file's own name.
        copy.Close();
        RemoveFile(path);
    }
    return ShowWholeCopyFailure(copied, path);
}

// Tells why the whole-file copy fell short, unless it was stopped. Always false.
bool DiskSplitter::ShowWholeCopyFailure(const CopyResult& copied, const std::string& path) {
    if (copied.noRoom)
        hooks_.ShowMessage("Файл " + name_ + " не помещается на диск " + letter_ +
                           ":\\. Неполная копия удалена.");
    else if (!copied.stopped)
        run_.ShowCopyFailure(copied, "Невозможно записать файл " + path + " полностью!");
    return false;
}

} // namespace

bool SplitOntoDisks(SplitRun& run) { return DiskSplitter(run).Run(); }
