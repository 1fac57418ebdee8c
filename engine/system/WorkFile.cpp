// The engine's work file: made, read and written at offsets, cut, flushed and closed.
#include "engine/system/WorkFile.h"

#include <windows.h>

namespace {

// The offset is set apart from the transfer rather than given in an OVERLAPPED: under Wine a
// transfer given one also posts a completion, a trip to the server each time.
bool Place(HANDLE handle, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN);
}

} // namespace

WorkFile::WorkFile(const std::string& path, WorkFileMaking making)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          making == WorkFileMaking::OnlyNew ? CREATE_NEW : CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

bool WorkFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool WorkFile::ReadAt(uint64_t offset, void* bytes, uint32_t size) {
    DWORD done = 0;
    return IsOpen() && Place(handle_, offset) && ReadFile(handle_, bytes, size, &done, nullptr) &&
           done == size;
}

bool WorkFile::WriteAt(uint64_t offset, const void* bytes, uint32_t size) {
    DWORD done = 0;
    return IsOpen() && Place(handle_, offset) && WriteFile(handle_, bytes, size, &done, nullptr) &&
           done == size;
}

bool WorkFile::EndAt(uint64_t size) {
    return IsOpen() && Place(handle_, size) && SetEndOfFile(handle_);
}

bool WorkFile::Flush() { return IsOpen() && FlushFileBuffers(handle_); }

void WorkFile::Close() {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}
