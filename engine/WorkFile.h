// A file of the engine's own work (the recovery data as it builds up, a rebuilt piece), read
// and written at given offsets, by one thread at a time. Made anew, exclusive; owns its handle.
#pragma once
#include <cstdint>
#include <string>

class WorkFile {
  public:
    explicit WorkFile(const std::string& path);
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
