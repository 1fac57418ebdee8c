// One split in progress, as each of its steps sees it: the request as it was at the click, the
// window's turns, the source and the pieces opened and copied, and the check file beside them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "engine/checkfile/CheckFileWriter.h"
#include "engine/split/Resume.h"
#include "engine/split/Split.h"
#include "engine/split/SplitDigests.h"
#include "engine/split/SplitRecovery.h"

class SplitRun {
  public:
    SplitRun(const SplitRequest& request, SplitHooks& hooks, const SplitSystem& system);

    const SplitRequest& Request() const { return request_; }
    SplitHooks& Hooks() { return hooks_; }
    const SplitSystem& System() const { return system_; }
    // The source's file name, which the pieces and the check file are named after.
    const std::string& Name() const { return name_; }
    int64_t FileSize() const { return fileSize_; }
    // Takes the source's size, as the plan and the progress figures count it.
    void MeasureSource();
    SplitRecovery& Recovery() { return recovery_; }
    SplitDigests& Digests() { return digests_; }

    // Tells how far the split has got and lets the window run; false when asked to stop.
    bool YieldToWindow(int64_t done, int64_t pieceDone, int64_t pieceTotal);
    bool YieldToWindow(int64_t done) { return YieldToWindow(done, done, fileSize_); }
    // Lets the window run without a progress figure; false when asked to stop.
    bool KeepGoing() { return hooks_.KeepGoing(); }
    // Whether the window gets its turn before the source and each piece are opened (and once
    // after the last), or right after each piece is opened: the count method and the size
    // method have always differed here, and users know them so.
    bool YieldsBeforeOpening() const;
    // The status bar while piece n is written.
    void ShowWritingPiece(int64_t n);

    std::string PieceAt(int64_t n) const;
    bool OpenSource(FileStream& source);
    // Opens a piece (or the whole-file copy) for writing; failText tells the user otherwise.
    bool OpenTarget(FileStream& target, const std::string& path, const std::string& failText);
    bool OpenPiece(FileStream& piece, const std::string& path);
    // Copies one piece that starts at byte start of the source, yielding during a long copy,
    // its bytes handed to the digests.
    CopyResult CopyPiece(FileStream& target, FileStream& source, int64_t size, int64_t start,
                         bool onDisk);
    // Tells why a copy fell short: the source ran out, or failText.
    void ShowCopyFailure(const CopyResult& copied, const std::string& failText);
    std::string SourceShortText() const;
    static std::string PieceShortText(const std::string& path);
    static std::string PieceNotMadeText(const std::string& path);

    // The recovery file begun beside the set as planned, its MD5 on the piece lane from
    // piece 1.
    void BeginRecoveryBeside(const PiecePlan& plan);
    // The same for a set on disks, built up in the temporary folder.
    void BeginRecoveryInTemp();

    // Writes the check file with the lines so far (a fresh one at the start, the earlier
    // disks' pieces on a later disk); false after telling the user.
    bool SaveCheckFile();
    // A resumed split's check file starts with the kept pieces' lines, as an uninterrupted
    // split's would.
    bool SaveCheckFile(const KeptPieces& kept);
    // Piece n is written in full and on the disk: its line goes into the check file (and the
    // whole file's digest state beside it, when the split saves it); false after telling.
    bool NotePiece(int64_t n);
    // The whole file's line, which completes the set, on the disk; false after telling.
    bool NoteWhole();
    // Puts the check file's lines onto the disk and closes it; false after telling the user.
    bool FlushCheckFile();
    // Writes the check file of the whole set, its first lines (every piece's and the whole
    // file's), onto a disk that takes the set's recovery files; false after telling the user.
    bool SaveSetCheckFile(int64_t lines);
    // Adds the line of a recovery file to the check file on the disk in the drive, flushed and
    // closed; false after telling the user.
    bool NoteRecoveryFile(const std::string& digits, const std::string& name);
    // The next disk has none of this split's check file yet.
    void LeaveCheckFileOnDisk() { checkMade_ = false; }
    // Removes the check file this split made on the disk in the drive; an older one that it
    // never replaced stays with its pieces.
    void RemoveCheckFile();
    // The bytes the check file holds once piece n's line and the whole file's are added.
    uint64_t CheckFileBytesWith(int64_t n) const { return check_.BytesWith(n); }
    // Only the methods that resume save the whole file's digest state after each piece.
    void SaveStateAfterEachPiece() { savesState_ = digests_.Active(); }
    void RemoveWholeState();

    // The kept pieces stay the earlier run's: a failure or a stop of this one leaves them,
    // with their lines and the state after them, so that the split can be resumed again.
    void NoteKeptPieces(const KeptPieces& kept);
    int64_t KeptCount() const { return keptCount_; }
    // A resumed split that fails or stops leaves the earlier run's pieces, their lines and
    // the state after them.
    void KeepEarlierRun();

  private:
    // Adds the line of a piece written in full, or (name_) of the whole file; false after
    // telling the user.
    bool NoteDigest(const std::optional<std::string>& digits, const std::string& name,
                    const std::string& path);
    // Saves where the whole file's digest stands after the pieces noted, for a resume.
    void SaveStateAfterPieces();
    void ShowCheckFileShort();

    // Copies, not references: handlers running while the split yields may change the
    // caller's objects, and the split goes on with the values of the click.
    const SplitRequest request_;
    SplitHooks& hooks_;
    const SplitSystem system_;
    const std::string name_;
    int64_t fileSize_ = 0;
    CheckFileWriter check_;
    // Before the digests: the feed's threads, which may still work for it, end first.
    SplitRecovery recovery_;
    SplitDigests digests_;
    bool checkMade_ = false;               // on the disk in the drive
    const std::string statePath_;          // the whole file's digest state, beside the check file
    ListedDigits listed_;                  // the digits of the pieces in the check file so far
    int64_t keptCount_ = 0;                // the earlier run's pieces a resumed split goes on after
    std::optional<std::string> keptState_; // the whole file's digest state after them
    std::optional<StateBinding> keptBinding_; // and their lines
    bool savesState_ = false;                 // after each piece, for a resume
};
