// The engine's contact with files, folders and the process, on kernel32 (the disks' own
// questions are in Drives.h, included here).
// Every operation reports failure through its result only and never shows anything.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/system/Drives.h"
#include "engine/system/Text.h"

enum class SeekOrigin : uint32_t { FromBeginning = 0, FromCurrent = 1, FromEnd = 2 };
enum class PriorityLevel { Realtime, High, Normal, Idle };

// One open file. A stream whose open failed still exists: Read and Write move nothing,
// Seek and Size give -1. Owns its handle and closes it once.
class FileStream {
  public:
    enum class Kind { Read, Write };

    FileStream() = default;
    FileStream(void* handle, Kind kind) : handle_(handle), kind_(kind) {}
    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    ~FileStream() { Close(); }

    bool IsOpen() const;
    // The new position, or -1 when the stream is not open or the move fails.
    int64_t Seek(int64_t distance, SeekOrigin origin);
    // The file's size, or -1 when the stream is not open.
    int64_t Size() const;
    // Bytes read from the current position; 0 on failure or on a write stream.
    uint32_t Read(void* buffer, uint32_t count);
    // Bytes written at the current position; the file then ends at the new position.
    // 0 on failure or on a read stream.
    uint32_t Write(const void* buffer, uint32_t count);
    // Writes what the system still holds for the file to the disk.
    bool Flush();
    // Whether the last Write was refused, in full or in part, because the disk or the file
    // system takes no more (disk full, or a file larger than the file system holds).
    bool LastWriteFoundNoRoom() const { return noRoom_; }
    void Close();

  private:
    void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
    Kind kind_ = Kind::Read;
    // The file is known to end at the current position: a write there needs no cut after it.
    bool endsAtPosition_ = false;
    bool noRoom_ = false;
};

// Shared reading (other readers allowed, no writers), the file must exist. Position 0.
FileStream OpenReadStream(const std::string& path);
// Exclusive writing; a missing file is made, an existing one keeps its contents until the
// first write cuts it. Position 0.
FileStream OpenWriteStream(const std::string& path);

// What a copy moved: the bytes written, whether the source ran out (end of file or a failed
// read) before count bytes were read, whether a write found no room on the disk, and whether
// the pace callback stopped it.
struct CopyResult {
    int64_t written = 0;
    bool sourceShort = false;
    bool noRoom = false;
    bool stopped = false;
};

// Called during a copy with the bytes written so far; false stops the copy there.
using CopyPace = std::function<bool(int64_t written)>;

// The clock a copy's pace goes by, for every loop that reads or copies in runs: pace (when
// given) is called about every CopyPaceInterval() milliseconds, never more often, the time
// spent in it not counted.
class PaceClock {
  public:
    explicit PaceClock(const CopyPace& pace);
    // Called after each run with the bytes done so far; false when pace was due and asked to
    // stop.
    bool Go(int64_t done);

  private:
    const CopyPace& pace_;
    uint32_t paced_;
};

// Where a copy takes its buffers from and hands each one back once its bytes are written, so
// that others (the hashing threads) read them while the copy goes on.
class CopyFeed {
  public:
    virtual ~CopyFeed() = default;
    virtual uint32_t BufferSize() const = 0;
    // A free buffer of BufferSize() bytes; waits while every buffer is still in use.
    virtual char* TakeBuffer() = 0;
    // The first size bytes of buffer are in the destination; the buffer is the feed's again.
    virtual void Pass(char* buffer, uint32_t size) = 0;
};

// Copies up to count bytes from the source's position to the destination's position through
// one bounded buffer, stopping at the end of the source or at a short or failed write. The
// destination always ends at its position afterwards, even when nothing could be read.
// A count of 0 or less still writes nothing once, which cuts a write stream at its position.
// pace, when given, is called about every CopyPaceInterval() milliseconds of copying (also
// after the last buffer), never more often; a stop it asks for is told even at the end.
// feed, when given, lends the buffers and gets every written run in order.
CopyResult CopyStreamBytes(FileStream& destination, FileStream& source, int64_t count,
                           const CopyPace& pace = nullptr, CopyFeed* feed = nullptr);
// Reads count bytes from the source's position through the feed's buffers, handing each run
// to the feed as a copy does, and writes nothing. written counts the bytes read; pace as for
// CopyStreamBytes.
CopyResult ReadThroughFeed(FileStream& source, int64_t count, const CopyPace& pace, CopyFeed& feed);
// The bytes written by CopyStreamBytes.
int64_t CopyBetweenStreams(FileStream& destination, FileStream& source, int64_t count);

// The size of the copy buffer; tests shrink it so that faults of the copy loop show.
uint32_t CopyBufferSize();
void SetCopyBufferSize(uint32_t bytes);
// How many milliseconds of copying pass between two calls of a copy's pace callback (100);
// tests set 0 to have it called after every buffer.
uint32_t CopyPaceInterval();
void SetCopyPaceInterval(uint32_t milliseconds);

bool IsExistingFile(const std::string& path);
bool IsExistingFolder(const std::string& path);
// Makes the last level of the path only; false when it exists already or a parent is missing.
bool MakeFolder(const std::string& path);
// Moves the file at source over target in one step, replacing a file already there;
// false when it cannot (target held open, read-only or a folder).
bool ReplaceFileWith(const std::string& source, const std::string& target);
// Deletes the file; false when it cannot.
bool RemoveFile(const std::string& path);
// The size of the first directory entry matching the path (wildcards allowed); 0 for none.
uint64_t LookupFileSize(const std::string& path);
// Sets the process's priority class; High and Realtime make the calling thread time-critical,
// Normal and Idle give it normal thread priority.
void SetProcessPriority(PriorityLevel level);
