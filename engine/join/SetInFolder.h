// A set in one folder as the join finds it: its pieces by number and size, its check file, how
// many pieces it has, and which of them are missing.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "engine/Hooks.h"
#include "engine/checkfile/SetCheck.h"

class PieceRebuild;

class SetInFolder {
  public:
    SetInFolder(JoinHooks& hooks, const std::string& pieceFolder, const std::string& baseName)
        : hooks_(hooks), pieceFolder_(pieceFolder), baseName_(baseName) {}

    // The pieces of the set: as many as the check file lists, else up to the highest found.
    // The check file is read even when no piece is found, since the recovery file beside it
    // may rebuild a lost one. Nothing after a message or a stop.
    std::optional<int64_t> Count();
    // Whether pieces 1 .. count are all there, or all but those that rebuild may rebuild
    // (Missing then gives them); false after naming the missing pieces, as a set with a gap
    // would restore a file with a hole in it.
    bool IsComplete(int64_t count, const PieceRebuild& rebuild);
    // The check to join by; none without a check file.
    const std::optional<SetCheck>& Check() const { return check_; }
    // The bytes of piece n as the folder listed them (a set of many pieces is not looked up
    // piece by piece); 0 for a piece not found.
    int64_t FoundSize(int64_t n) const;
    // The pieces missing, to be rebuilt before the gathering.
    const std::vector<int64_t>& Missing() const { return missing_; }
    // What the join would have said of it.
    const std::string& MissingText() const { return missingText_; }

  private:
    // The numbers of the pieces in the folder, their sizes noted; empty on a stop too.
    std::set<int64_t> FindPieceNumbers();

    JoinHooks& hooks_;
    const std::string pieceFolder_, baseName_;
    std::set<int64_t> numbers_;             // of the pieces found
    std::map<int64_t, int64_t> foundSizes_; // their sizes, by number
    bool stopped_ = false;
    std::optional<SetCheck> check_;
    std::vector<int64_t> missing_;
    std::string missingText_;
};
