// Picking up a split that ended without a goodbye (a killed program, a power cut, a pulled
// stick put back): its check file tells which pieces are safely on the medium, and a new
// split of the same file with the same piece sizes goes on after them.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pieces/PieceSet.h"

class Sha256;

// Pieces 1 .. digests.size() of an unfinished set; none when there is nothing to resume.
struct KeptPieces {
    std::vector<std::string> digests; // as listed, piece 1 first
    // Where the whole file's digest stood after them, when the split saved it and it holds.
    std::optional<std::string> wholeState;

    int64_t Count() const { return static_cast<int64_t>(digests.size()); }
};

// The pieces of an unfinished set of fileName in folder that a split by plan would write again
// byte for byte, as far as the folder tells: the check file lists pieces 1 .. k in order and
// not the whole file, each piece is there with exactly its planned size, and k is below the
// plan's count. None for a complete set, for a check file of any other shape, or when a listed
// piece is missing or of another size (nothing after the first such piece can be trusted).
// The whole file's digest state comes along when one was saved after exactly those pieces and
// their planned bytes.
KeptPieces FindKeptPieces(const std::string& folder, const std::string& fileName,
                          const PiecePlan& plan);

// Beside the check file of a split in progress: where the whole file's digest stood after the
// pieces listed, so that a resumed split hashes their bytes once, against their lines, and
// not a second time for the whole file. Removed with the check file, and once the set is
// complete.
std::string WholeStatePath(const std::string& folder, const std::string& fileName);

// What a saved state is bound to: the count of the pieces listed and the digest of their
// digits, a line each.
struct StateBinding {
    int64_t pieces = 0;
    std::string listed;
};

// The digits of the pieces listed so far, taken into a running digest as each is listed, so
// that binding a state after piece n costs the same whatever n.
class ListedDigits {
  public:
    ListedDigits();
    explicit ListedDigits(const std::vector<std::string>& digests);
    ~ListedDigits();
    ListedDigits(ListedDigits&&) noexcept;
    ListedDigits& operator=(ListedDigits&&) noexcept;

    void Add(const std::string& digits);
    // Nothing when the system gave no digest.
    std::optional<StateBinding> Binding() const;

  private:
    std::unique_ptr<Sha256> digest_;
    int64_t count_ = 0;
};

// Writes the state after the pieces bound; false when it cannot.
bool SaveWholeState(const std::string& path, const StateBinding& binding, const std::string& state);
// The state saved after exactly the pieces with these digests, whose bytes add up to bytes;
// nothing for a file that is missing, damaged, saved after other pieces or bytes, or not
// usable by this processor's digest.
std::optional<std::string> LoadWholeState(const std::string& path,
                                          const std::vector<std::string>& digests, uint64_t bytes);

// Asked before anything is written: Yes goes on after the kept pieces, No starts over.
std::string ResumeQuestion(const std::string& fileName, int64_t kept);
// Shown while a kept piece is read and checked against the source.
std::string CheckingKeptPieceText(const std::string& fileName, int64_t pieceNumber);
// Asked when a kept piece is not the source's bytes: OK starts over.
std::string KeptPieceDiffersQuestion(const std::string& fileName, int64_t pieceNumber);
