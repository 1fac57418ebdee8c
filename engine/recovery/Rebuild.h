// The join's use of the recovery file beside a checked set: one piece missing, cut short or
// damaged is rebuilt from the recovery slice and every other piece into a temporary file in
// the target folder, which the join then reads in the piece's place. The user's set is left
// as it was; the temporary file is made only when a rebuild begins, under a name no file
// holds, and goes when the join ends, however it ends.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/system/FileServices.h"
#include "engine/recovery/Par2Parse.h"
#include "engine/digest/HashFeed.h"
#include "engine/Hooks.h"
#include "engine/recovery/Par2.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/system/WorkFile.h"

class PieceRebuild {
  public:
    PieceRebuild(JoinHooks& hooks, const std::string& pieceFolder, const std::string& baseName,
                 const std::string& outputPath);
    ~PieceRebuild();
    PieceRebuild(const PieceRebuild&) = delete;
    PieceRebuild& operator=(const PieceRebuild&) = delete;

    // Whether a recovery file lies beside the set and no piece has been rebuilt yet.
    bool Possible() const;
    // Rebuilds piece n of the set that check describes. false after telling the user why not
    // (faultText, what the join would have said of the piece, comes first) or on a stop.
    bool Rebuild(int64_t n, const SetCheck& check, const std::string& faultText);
    // The file to read as piece n: the rebuilt one, or piecePath.
    const std::string& PathFor(int64_t n, const std::string& piecePath) const;
    bool IsRebuilt(int64_t n) const { return rebuilt_ == n; }
    bool AnyRebuilt() const { return rebuilt_ != 0; }
    // The bytes of the piece rebuilt, as the recovery file describes it; 0 before a rebuild.
    int64_t RebuiltSize() const;
    // The line the completion text gains; empty when nothing was rebuilt.
    std::string DoneLine() const;
    // What the join says when the rebuilt piece differs from its line.
    std::string MismatchText(const SetCheck& check) const;
    // The line added to a refusal of two or more missing pieces.
    std::string OnlyOneText() const;
    // What the join says when piece n is found damaged after another was rebuilt.
    std::string SecondFaultText(int64_t n) const;

  private:
    struct Fault {
        int64_t number;
        bool missing;
    };
    struct OtherPiece;
    class PieceDigests;
    std::string PieceAt(int64_t n) const;
    // Piece k's length as the set's recovery file describes it, at k - 1; nothing when it does
    // not describe pieces 1 .. count, one each.
    std::optional<std::vector<uint64_t>> LengthsOf(const Par2Reading::Set& set,
                                                   int64_t count) const;
    // The rebuilt piece's file, made under the first of its names that no file holds; null
    // after telling the user.
    std::unique_ptr<WorkFile> MakeWorkFile();
    // Rebuilds piece n from the recovery slice at recoveryOffset and every other piece, group
    // by group; false after telling the user, or on a stop.
    bool MixAll(int64_t n, uint64_t recoveryOffset, const SetCheck& check, bool& otherLengths);
    // Mixes others[first .. last) into the rebuilt bytes, over the recovery slice's when
    // recovery is given, else over what the work file holds, checking each piece against its
    // line on the feed's two lanes; false after telling the user, or on a stop.
    bool MixGroup(const std::vector<int64_t>& others, size_t first, size_t last,
                  FileStream* recovery, WorkFile& rebuilt, HashFeed& feed, uint64_t length,
                  const SetCheck& check, std::vector<Fault>& faults, bool& otherLengths);
    // Opens others[first .. last), naming those that cannot be opened in faults.
    std::vector<OtherPiece> OpenGroup(const std::vector<int64_t>& others, size_t first, size_t last,
                                      std::vector<Fault>& faults) const;
    // Holds each piece of a group read against its line; false after telling the user.
    bool CheckGroup(const std::vector<OtherPiece>& pieces, PieceDigests (&lanes)[2],
                    const SetCheck& check, std::vector<Fault>& faults, bool& otherLengths);
    std::string FaultsText(std::vector<Fault> faults) const;
    bool KeepGoing();

    JoinHooks& hooks_;
    const std::string pieceFolder_, baseName_, recoveryName_, recoveryPath_, outputPath_;
    std::string rebuiltPath_;
    bool made_ = false;             // rebuiltPath_ is a file this join made
    std::vector<uint64_t> lengths_; // piece k's at k - 1, once the recovery file is read
    int64_t rebuilt_ = 0;
    uint32_t paced_ = 0;
};
