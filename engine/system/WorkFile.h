// A file of the engine's own work (the recovery data as it builds up, a rebuilt piece), read
// and written at given offsets, by one thread at a time. Exclusive; owns its handle.
#pragma once
#include <cstdint>
#include <string>

// Whether a work file replaces a file of its name, or is made only where no file is.
enum class WorkFileMaking { Afresh, OnlyNew };

class WorkFile {
  public:
    explicit WorkFile(const std::string& path, WorkFileMaking making = WorkFileMaking::Afresh);
    ~WorkFile() { Close(); }
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    bool IsOpen() const;
    // Whether all size bytes were read or written at offset.
    bool ReadAt(uint64_t offset, void* bytes, uint32_t size);
    bool WriteAt(uint64_t offset, const void* bytes, uint32_t size);
    // The file ends at size; bytes added are zeros.
    bool EndAt(uint64_t size);
    bool Flush();
    void Close();

  private:
    void* handle_;
};
