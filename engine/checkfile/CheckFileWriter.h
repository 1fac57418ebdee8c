// The check file a split keeps beside its pieces, so that it always tells what is on the
// medium: made empty before the first piece, a line added once a piece is written in full,
// and the whole file's line, which marks a complete set, last.
#pragma once
#include <cstdint>
#include <string>

#include "engine/system/FileServices.h"

class CheckFileWriter {
  public:
    CheckFileWriter(const std::string& folder, const std::string& fileName);

    const std::string& Path() const { return path_; }
    // Writes the file anew with the lines added so far (none at the start, all of them on a
    // fresh disk) and keeps it open; false when it cannot be made or written.
    bool Save();
    // Adds the line of a piece, or of the whole file, and appends it to the open file; false
    // when the write fails.
    bool Add(const std::string& digits, const std::string& name);
    bool Flush() { return stream_.Flush(); }
    void Close() { stream_.Close(); }
    // Closes and deletes the file.
    void Remove();
    // Writes the file anew with its first lines only, on the disk, and closes it; false when
    // it cannot.
    bool KeepFirstLines(int64_t lines);
    // The bytes the file holds once the lines of piece n and of the whole file are added.
    uint64_t BytesWith(int64_t pieceNumber) const;

  private:
    const std::string fileName_;
    const std::string path_;
    std::string text_;
    FileStream stream_;
};
