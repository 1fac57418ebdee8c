// File streams, the copy loops and their pace, and the file, folder and priority services on
// kernel32.
#include "engine/system/FileServices.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

constexpr uint32_t kDefaultCopyBufferSize = 256u << 10;
uint32_t copyBufferSize = kDefaultCopyBufferSize;
uint32_t copyPaceInterval = 100;

HANDLE Native(void* handle) { return static_cast<HANDLE>(handle); }

} // namespace

FileStream::FileStream(FileStream&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)), kind_(other.kind_),
      endsAtPosition_(std::exchange(other.endsAtPosition_, false)),
      noRoom_(std::exchange(other.noRoom_, false)) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        kind_ = other.kind_;
        endsAtPosition_ = std::exchange(other.endsAtPosition_, false);
        noRoom_ = std::exchange(other.noRoom_, false);
    }
    return *this;
}

bool FileStream::IsOpen() const { return Native(handle_) != INVALID_HANDLE_VALUE; }

int64_t FileStream::Seek(int64_t distance, SeekOrigin origin) {
    if (!IsOpen()) return -1;
    endsAtPosition_ = false;
    LARGE_INTEGER move, position;
    move.QuadPart = distance;
    if (!SetFilePointerEx(Native(handle_), move, &position, static_cast<DWORD>(origin))) return -1;
    return position.QuadPart;
}

int64_t FileStream::Size() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(Native(handle_), &size)) return -1;
    return size.QuadPart;
}

uint32_t FileStream::Read(void* buffer, uint32_t count) {
    DWORD done = 0;
    if (kind_ != Kind::Read || !IsOpen()) return 0;
    if (!ReadFile(Native(handle_), buffer, count, &done, nullptr)) return 0;
    return done;
}

uint32_t FileStream::Write(const void* buffer, uint32_t count) {
    DWORD done = 0;
    if (kind_ != Kind::Write || !IsOpen()) return 0;
    noRoom_ = false;
    if (!WriteFile(Native(handle_), buffer, count, &done, nullptr)) {
        const DWORD error = GetLastError();
        noRoom_ = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
                  error == ERROR_FILE_TOO_LARGE;
        done = 0;
    } else if (done < count) {
        // A write to a file that takes fewer bytes than asked without an error ran out of room.
        noRoom_ = true;
    }
    // The file always ends where the last write ended, whatever it held before. Once it has
    // been cut at the position, a whole write there only moves the end along with it (no one
    // else may write the file meanwhile), so a run of writes needs one cut, not one each.
    if (endsAtPosition_ && done == count && count > 0) return done;
    endsAtPosition_ = SetEndOfFile(Native(handle_)) != FALSE;
    return done;
}

bool FileStream::Flush() { return IsOpen() && FlushFileBuffers(Native(handle_)); }

void FileStream::Close() {
    if (IsOpen()) CloseHandle(Native(std::exchange(handle_, INVALID_HANDLE_VALUE)));
}

FileStream OpenReadStream(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return FileStream(h, FileStream::Kind::Read);
}

FileStream OpenWriteStream(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return FileStream(h, FileStream::Kind::Write);
}

uint32_t CopyBufferSize() { return copyBufferSize; }

void SetCopyBufferSize(uint32_t bytes) {
    copyBufferSize = bytes == 0 ? kDefaultCopyBufferSize : bytes;
}

uint32_t CopyPaceInterval() { return copyPaceInterval; }

void SetCopyPaceInterval(uint32_t milliseconds) { copyPaceInterval = milliseconds; }

PaceClock::PaceClock(const CopyPace& pace) : pace_(pace), paced_(GetTickCount()) {}

bool PaceClock::Go(int64_t done) {
    // GetTickCount (Windows XP has no 64-bit tick count): its wrap after 49.7 days is
    // harmless, since the unsigned difference of two readings is still the time between them.
    if (!pace_ || static_cast<DWORD>(GetTickCount() - paced_) < copyPaceInterval) return true;
    if (!pace_(done)) return false;
    paced_ = GetTickCount();
    return true;
}

CopyResult CopyStreamBytes(FileStream& destination, FileStream& source, int64_t count,
                           const CopyPace& pace, CopyFeed* feed) {
    CopyResult result;
    if (count <= 0) {
        destination.Write(nullptr, 0);
        return result;
    }
    const uint32_t bufferSize =
        static_cast<uint32_t>(std::min<int64_t>(count, feed ? feed->BufferSize() : copyBufferSize));
    std::unique_ptr<char[]> own;
    if (!feed) {
        own.reset(new (std::nothrow) char[bufferSize]);
        if (!own) return result;
    }
    // Pacing goes by the clock, so that small buffers on a fast disk do not yield per buffer.
    PaceClock clock(pace);
    int64_t left = count;
    while (left > 0) {
        char* buffer = feed ? feed->TakeBuffer() : own.get();
        uint32_t want = static_cast<uint32_t>(std::min<int64_t>(left, bufferSize));
        uint32_t got = source.Read(buffer, want);
        // Even an empty read writes once: the destination must not keep older bytes after
        // its position.
        uint32_t put = got == 0 && result.written > 0 ? 0 : destination.Write(buffer, got);
        // Only what reached the destination goes on: that is what its digest must cover.
        if (feed) feed->Pass(buffer, put);
        result.written += put;
        left -= put;
        if (put < got) {
            result.noRoom = destination.LastWriteFoundNoRoom();
            return result;
        }
        if (got < want) {
            result.sourceShort = left > 0;
            return result;
        }
        if (!clock.Go(result.written)) {
            result.stopped = true;
            return result;
        }
    }
    return result;
}

CopyResult ReadThroughFeed(FileStream& source, int64_t count, const CopyPace& pace,
                           CopyFeed& feed) {
    CopyResult result;
    // Paced by the clock, as a copy is.
    PaceClock clock(pace);
    while (result.written < count) {
        char* buffer = feed.TakeBuffer();
        const uint32_t want =
            static_cast<uint32_t>(std::min<int64_t>(count - result.written, feed.BufferSize()));
        const uint32_t got = source.Read(buffer, want);
        feed.Pass(buffer, got);
        result.written += got;
        if (got < want) {
            result.sourceShort = true;
            return result;
        }
        if (!clock.Go(result.written)) {
            result.stopped = true;
            return result;
        }
    }
    return result;
}

int64_t CopyBetweenStreams(FileStream& destination, FileStream& source, int64_t count) {
    return CopyStreamBytes(destination, source, count).written;
}

bool IsExistingFile(const std::string& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFolder(const std::string& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path) {
    return !path.empty() && CreateDirectoryA(path.c_str(), nullptr);
}

bool ReplaceFileWith(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

uint64_t LookupFileSize(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

namespace {

DWORD PriorityClassOf(PriorityLevel level) {
    switch (level) {
    case PriorityLevel::Realtime:
        return REALTIME_PRIORITY_CLASS;
    case PriorityLevel::High:
        return HIGH_PRIORITY_CLASS;
    case PriorityLevel::Idle:
        return IDLE_PRIORITY_CLASS;
    case PriorityLevel::Normal:
        break;
    }
    return NORMAL_PRIORITY_CLASS;
}

} // namespace

void SetProcessPriority(PriorityLevel level) {
    // Refusals (a realtime class the account may not set) are ignored, as the menu expects.
    HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, GetCurrentProcessId());
    if (process) {
        SetPriorityClass(process, PriorityClassOf(level));
        CloseHandle(process);
    }
    // A lowered class with a time-critical thread would still take the processor first.
    const bool urgent = level == PriorityLevel::High || level == PriorityLevel::Realtime;
    SetThreadPriority(GetCurrentThread(),
                      urgent ? THREAD_PRIORITY_TIME_CRITICAL : THREAD_PRIORITY_NORMAL);
}
