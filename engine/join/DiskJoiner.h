// One join from disks in progress: the disks with the pieces in turn, a disk the user does not
// have (or one damaged in the drive) noted as lost, then the disks with the recovery volumes
// until they hold as many slices as pieces are lost, the lost pieces rebuilt and the file
// completed. The join's own parts: DiskJoin.cpp reads the piece disks, DiskJoinRecovery.cpp
// the rest.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Hooks.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/join/Gathering.h"
#include "engine/join/HeldPieces.h"
#include "engine/join/RecoveryCopies.h"
#include "engine/recovery/Rebuild.h"

class DiskJoiner {
  public:
    DiskJoiner(const std::string& chosenPiecePath, const std::string& targetFolder,
               JoinHooks& hooks, const std::string& root, const std::string& baseName);
    void Run();

  private:
    std::string JoinText() const;
    std::string PieceAt(int64_t n) const;
    int64_t Listed() const { return static_cast<int64_t>(known_.digits.size()); }
    bool Finished() const { return whole_ && next_ > Listed(); }
    // The first piece lost; past the set's end while none is.
    int64_t FirstLost() const { return lost_.empty() ? Listed() + 1 : lost_.front(); }

    // The piece disks (DiskJoin.cpp).
    bool OutputFolderUsable();
    bool GatherFromDisks();
    std::string ReadDisk();
    bool Agrees(const CheckLines& lines) const;
    bool TakePiecesOnDisk();
    bool TakePiece(int64_t n);
    Reply AskForDisk(const std::string& fault);
    bool YieldToWindow(int64_t pieceDone, int64_t pieceTotal);
    bool Stopped();

    // The recovery volumes, the rebuild and the end (DiskJoinRecovery.cpp).
    bool RecoverLost();
    bool GatherVolumes();
    bool TakeVolumesOnDisk(bool asked, std::string& fault);
    std::string WantedVolume() const;
    bool RebuildLost();
    bool AppendTheRest();
    PieceSource SourceOf(int64_t n) const;

    JoinHooks& hooks_;
    const std::string targetFolder_;
    const std::string pieceFolder_;
    const std::string baseName_;
    const std::string root_;
    const std::string letter_;
    const std::string outputPath_;
    SetCheck known_;                   // the longest list of pieces read so far
    std::optional<std::string> whole_; // the whole file's digits, once a disk gave them
    int64_t next_ = 1;                 // the piece the set needs next
    int64_t done_ = 0;                 // the bytes read off the disks so far
    int64_t disksRead_ = 0;            // the disks that gave pieces
    std::vector<int64_t> lost_;        // the pieces lost, in order
    std::vector<int64_t> gathered_;    // where piece n starts in the gathering file, at n - 1
    int64_t gatheredBytes_ = 0;        // the bytes of the pieces before the first lost one
    bool spoiled_ = false; // the whole file's digest took the bytes of a piece found faulty
    std::vector<std::string> listed_;   // the recovery files the disks' check files name
    std::vector<std::string> declined_; // the recovery files asked for and answered "Нет"
    Gathering gathering_;
    HeldPieces held_;
    RecoveryCopies copies_;
    PieceRebuild rebuild_;
};
