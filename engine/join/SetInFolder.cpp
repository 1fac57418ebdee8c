// Finding a set's pieces in its folder, counting the set by its check file, and naming the
// pieces it lacks.
#include "engine/join/SetInFolder.h"

#include <windows.h>

#include <vector>

#include "engine/checkfile/CheckFile.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Rebuild.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"

namespace {

// How many missing pieces a message names before it ends in "...".
constexpr size_t kMissingNamed = 5;

// The entries of one folder that match a pattern; the search ends on every way out.
class DirectorySearch {
  public:
    explicit DirectorySearch(const std::string& pattern)
        : handle_(FindFirstFileA(pattern.c_str(), &found_)) {}
    ~DirectorySearch() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    bool HasEntry() const { return handle_ != INVALID_HANDLE_VALUE && !finished_; }
    std::string EntryName() const { return found_.cFileName; }
    int64_t EntrySize() const {
        return static_cast<int64_t>((static_cast<uint64_t>(found_.nFileSizeHigh) << 32) |
                                    found_.nFileSizeLow);
    }
    void Next() { finished_ = !FindNextFileA(handle_, &found_); }

  private:
    WIN32_FIND_DATAA found_{};
    HANDLE handle_;
    bool finished_ = false;
};

} // namespace

std::set<int64_t> SetInFolder::FindPieceNumbers() {
    // Other entries of the pattern are no pieces.
    std::set<int64_t> numbers;
    for (DirectorySearch search(pieceFolder_ + baseName_ + "_*.brf"); search.HasEntry();
         search.Next()) {
        // The total is not known while the set is counted: nothing to report yet.
        if ((stopped_ = !hooks_.KeepGoing())) return {};
        const std::string entry = search.EntryName();
        if (entry.size() <= baseName_.size()) continue;
        const std::string prefix = entry.substr(0, baseName_.size());
        if (!SameName(prefix, baseName_)) continue;
        if (const std::optional<int64_t> number = PieceNumberOf(entry, prefix)) {
            numbers.insert(*number);
            foundSizes_[*number] = search.EntrySize();
        }
    }
    return numbers;
}

std::optional<int64_t> SetInFolder::Count() {
    numbers_ = FindPieceNumbers();
    if (stopped_) return std::nullopt;
    const std::string notFound = "Части файла " + pieceFolder_ + baseName_ + " не найдены!";
    if (numbers_.empty() && !IsExistingFile(pieceFolder_ + CheckFileName(baseName_))) {
        hooks_.ShowMessage(notFound);
        return std::nullopt;
    }
    const SetCheckReading reading = ReadSetCheck(pieceFolder_, baseName_, numbers_);
    if (!reading.refusal.empty()) {
        hooks_.ShowMessage(reading.refusal);
        return std::nullopt;
    }
    check_ = reading.check;
    // A checked set is as long as its check file says, so a missing last piece is missed.
    const int64_t count = check_             ? static_cast<int64_t>(check_->digits.size())
                          : numbers_.empty() ? 0
                                             : *numbers_.rbegin();
    // A check file of the whole file alone (a copy the disk method made) lists no piece.
    if (count == 0) {
        hooks_.ShowMessage(notFound);
        return std::nullopt;
    }
    return count;
}

bool SetInFolder::IsComplete(int64_t count, const PieceRebuild& rebuild) {
    const bool rebuildable = check_ && rebuild.Possible();
    std::vector<int64_t> missing;
    // Every missing piece of a set the recovery data may rebuild; a few to name otherwise.
    for (int64_t n = 1; n <= count && (rebuildable || missing.size() <= kMissingNamed); ++n)
        if (!numbers_.count(n)) missing.push_back(n);
    if (missing.empty()) return true;
    std::string text = "Части ";
    for (size_t i = 0; i < missing.size() && i < kMissingNamed; ++i)
        text += (i == 0 ? "" : ", ") + PiecePath(pieceFolder_, baseName_, missing[i]);
    if (missing.size() > kMissingNamed) text += ", ...";
    text += " не найдены!";
    if (missing.size() == 1)
        text = "Часть " + PiecePath(pieceFolder_, baseName_, missing[0]) + " не найдена!";
    // Pieces missing from a checked set: the recovery data beside it may rebuild them.
    if (rebuildable) {
        missing_ = missing;
        missingText_ = text;
        return true;
    }
    hooks_.ShowMessage(text);
    return false;
}

int64_t SetInFolder::FoundSize(int64_t n) const {
    const auto found = foundSizes_.find(n);
    return found == foundSizes_.end() ? 0 : found->second;
}
