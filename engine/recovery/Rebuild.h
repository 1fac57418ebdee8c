// The join's use of the recovery data beside a checked set: pieces missing, cut short or
// damaged, as many as it holds recovery slices, are rebuilt from those slices and every other
// piece into temporary files in the target folder, which the join then reads in the pieces'
// places. The slices are read from "<file name>.par2" and from a repair tool's volume files
// beside it. The user's set is left as it was; the temporary files are made only when a
// rebuild begins, under names no file holds, and go when the join ends, however it ends.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Hooks.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/recovery/RebuildMix.h"
#include "engine/recovery/RecoverySources.h"

// Where the rebuild of a set joined from its disks takes its data, rather than from the piece
// folder: the recovery files read already (copied off the disks), and each piece's source.
struct RebuildInputs {
    RecoverySources sources;
    std::function<PieceSource(int64_t)> sourceOf;
    std::string by; // what the texts say the pieces are rebuilt by: "томам восстановления"
};

class PieceRebuild {
  public:
    PieceRebuild(JoinHooks& hooks, const std::string& pieceFolder, const std::string& baseName,
                 const std::string& outputPath);
    ~PieceRebuild();
    PieceRebuild(const PieceRebuild&) = delete;
    PieceRebuild& operator=(const PieceRebuild&) = delete;

    // Rebuilds from inputs from now on.
    void TakeInputs(RebuildInputs inputs);
    // Removes the rebuilt pieces' files this join made, once the output holds them; the end of
    // the rebuild removes them on every other way out.
    void RemoveWorkFiles();
    // Whether recovery files lie beside the set and no piece has been rebuilt yet.
    bool Possible() const;
    // Rebuilds the pieces numbered in faulty, and any other the reading finds faulty, of the
    // set that check describes. false after telling the user why not (faultText, what the join
    // would have said of the pieces, comes first when the recovery data cannot help) or on a
    // stop.
    bool Rebuild(const std::vector<int64_t>& faulty, const SetCheck& check,
                 const std::string& faultText);
    // The file to read as piece n: the rebuilt one, or piecePath.
    const std::string& PathFor(int64_t n, const std::string& piecePath) const;
    bool IsRebuilt(int64_t n) const;
    bool AnyRebuilt() const { return !rebuilt_.empty(); }
    // The bytes of piece n rebuilt, as the recovery file describes it; 0 for another.
    int64_t RebuiltSize(int64_t n) const;
    // The line the completion text gains; empty when nothing was rebuilt.
    std::string DoneLine() const;
    // What the join says when rebuilt piece n differs from its line.
    std::string MismatchText(int64_t n, const SetCheck& check) const;
    // What the join says when piece n is found damaged after others were rebuilt.
    std::string SecondFaultText(int64_t n) const;

  private:
    std::string PieceAt(int64_t n) const;
    PieceSource SourceOf(int64_t n) const;
    // What the pieces are rebuilt by, in the texts: the recovery file's name or the inputs'.
    const std::string& By() const;
    // Piece k's length as the set's recovery file describes it, at k - 1; nothing when it does
    // not describe pieces 1 .. count, one each. places gets each piece's place in its list.
    std::optional<std::vector<uint64_t>> LengthsOf(const Par2Reading::Set& set, int64_t count,
                                                   std::vector<size_t>& places) const;
    // The recovery data read and matched with the set; false after telling the user.
    bool Prepare(const SetCheck& check, const std::string& faultText, MixPlan& plan);
    // One rebuild of plan.faulty from its first slices; faults gets the other pieces found
    // faulty. false after telling the user, or on a stop.
    bool MixOnce(MixPlan& plan, const SetCheck& check, std::vector<MixFault>& faults);
    // The rebuilt pieces' files, made under the first names that no file holds; false after
    // telling the user.
    bool MakeWorkFiles(size_t count, std::vector<std::unique_ptr<WorkFile>>& files);
    // The line that says how many pieces the recovery data rebuilds.
    std::string CapacityText() const;
    std::string FaultsText(std::vector<MixFault> faults) const;
    static std::string NumbersText(const std::vector<int64_t>& numbers);
    bool KeepGoing();

    JoinHooks& hooks_;
    const std::string pieceFolder_, baseName_, recoveryName_, recoveryPath_, outputPath_;
    std::vector<std::string> workPaths_; // made by this join, to go at its end
    std::vector<int64_t> rebuilt_;       // the pieces rebuilt, at workPaths_' places
    std::vector<uint64_t> lengths_;      // piece k's at k - 1, once the recovery file is read
    std::vector<FoundSlice> found_;      // the usable recovery slices, by exponent
    std::optional<RebuildInputs> inputs_;
    size_t usable_ = 0;        // how many
    std::string otherSetText_; // what is said of recovery data of another set
    uint32_t paced_ = 0;
};
