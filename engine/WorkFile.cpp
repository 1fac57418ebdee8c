#include "engine/WorkFile.h"

#include <windows.h>

namespace {

OVERLAPPED Place(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

} // namespace

WorkFile::WorkFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

bool WorkFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool WorkFile::ReadAt(uint64_t offset, void* bytes, uint32_t size) {
    DWORD done = 0;
    OVERLAPPED at = Place(offset);
    return IsOpen() && ReadFile(handle_, bytes, size, &done, &at) && done == size;
}

bool WorkFile::WriteAt(uint64_t offset, const void* bytes, uint32_t size) {
    DWORD done = 0;
    OVERLAPPED at = Place(offset);
    return IsOpen() && WriteFile(handle_, bytes, size, &done, &at) && done == size;
}

bool WorkFile::EndAt(uint64_t size) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return IsOpen() && SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
}

bool WorkFile::Flush() { return IsOpen() && FlushFileBuffers(handle_); }

void WorkFile::Close() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}
