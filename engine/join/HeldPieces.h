// The pieces a join from disks reads after a lost one, held in work files in the target folder
// until the lost piece is rebuilt. They cannot go into the gathering file yet: the lost piece's
// length, and so where they start, is known only from the recovery data. Each piece is checked
// against its line as it is copied; a file goes when its piece is appended, and every one
// whatever ends the join.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/Hooks.h"
#include "engine/digest/HashFeed.h"
#include "engine/join/Gathering.h"

class HeldPieces {
  public:
    // Work files beside the output at outputPath.
    HeldPieces(JoinHooks& hooks, const std::string& outputPath);
    ~HeldPieces();
    HeldPieces(const HeldPieces&) = delete;
    HeldPieces& operator=(const HeldPieces&) = delete;

    // Copies piece n, opened from path, into a work file of its own under a name no file
    // holds, its SHA-256 held against digits; pace as for CopyStreamBytes. A faulty piece
    // leaves no file.
    PieceAppend Hold(FileStream& piece, const std::string& path, int64_t n,
                     const std::string& digits, const CopyPace& pace);
    // The work file holding piece n; empty when none does.
    std::string PathOf(int64_t n) const;
    // Removes the work file of piece n.
    void Release(int64_t n);

  private:
    // A work file for piece n made where no file is; empty after telling the user.
    std::string MakeFile(int64_t n);

    JoinHooks& hooks_;
    const std::string outputPath_;
    std::map<int64_t, std::string> held_;
    std::unique_ptr<HashFeed> feed_; // made with the first piece held
};
