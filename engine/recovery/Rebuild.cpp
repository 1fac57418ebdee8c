// The rebuild's parts the join sees: its texts, the pieces' lengths and sources, and its work
// files.
#include "engine/recovery/Rebuild.h"

#include <windows.h>

#include <algorithm>

#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Solve.h"
#include "engine/recovery/Par2.h"
#include "engine/system/FileServices.h"
#include "engine/system/Text.h"
#include "engine/system/Utf8.h"

namespace {

// The names tried for the rebuilt pieces beyond one each, "<output>.~piece", "<output>.~piece2",
// ...: a file of the user's under a name is left alone.
constexpr int kSpareNames = 100;

} // namespace

// "2, 5, 7".
std::string PieceRebuild::NumbersText(const std::vector<int64_t>& numbers) {
    std::string text;
    for (const int64_t n : numbers) text += (text.empty() ? "" : ", ") + DecimalText(n);
    return text;
}

PieceRebuild::PieceRebuild(JoinHooks& hooks, const std::string& pieceFolder,
                           const std::string& baseName, const std::string& outputPath)
    : hooks_(hooks), pieceFolder_(pieceFolder), baseName_(baseName),
      recoveryName_(RecoveryFileName(baseName)), recoveryPath_(pieceFolder + recoveryName_),
      outputPath_(outputPath) {}

PieceRebuild::~PieceRebuild() { RemoveWorkFiles(); }

bool PieceRebuild::Possible() const {
    return rebuilt_.empty() && HasRecoveryFiles(pieceFolder_, baseName_);
}

std::string PieceRebuild::PieceAt(int64_t n) const { return PiecePath(pieceFolder_, baseName_, n); }

void PieceRebuild::TakeInputs(RebuildInputs inputs) { inputs_ = std::move(inputs); }

PieceSource PieceRebuild::SourceOf(int64_t n) const {
    return inputs_ ? inputs_->sourceOf(n) : PieceSource{PieceAt(n)};
}

const std::string& PieceRebuild::By() const { return inputs_ ? inputs_->by : recoveryName_; }

const std::string& PieceRebuild::PathFor(int64_t n, const std::string& piecePath) const {
    const auto at = std::find(rebuilt_.begin(), rebuilt_.end(), n);
    return at == rebuilt_.end() ? piecePath
                                : workPaths_[static_cast<size_t>(at - rebuilt_.begin())];
}

bool PieceRebuild::IsRebuilt(int64_t n) const {
    return std::find(rebuilt_.begin(), rebuilt_.end(), n) != rebuilt_.end();
}

int64_t PieceRebuild::RebuiltSize(int64_t n) const {
    return IsRebuilt(n) ? static_cast<int64_t>(lengths_[n - 1]) : 0;
}

std::string PieceRebuild::DoneLine() const {
    if (rebuilt_.empty()) return {};
    if (rebuilt_.size() == 1)
        return "\r\nЧасть " + DecimalText(rebuilt_[0]) + " восстановлена по " + By() + ".";
    return "\r\nЧасти " + NumbersText(rebuilt_) + " восстановлены по " + By() + ".";
}

std::string PieceRebuild::MismatchText(int64_t n, const SetCheck& check) const {
    return "Часть " + PieceAt(n) + ", восстановленная по " + recoveryName_ +
           ", не совпадает со строкой в " + check.name +
           ": файл восстановления не от этого набора частей. Соединение прервано.";
}

std::string PieceRebuild::CapacityText() const {
    if (usable_ <= 1)
        return "Файл восстановления " + recoveryName_ + " восстанавливает только одну часть.";
    return "Файл восстановления " + recoveryName_ + " восстанавливает не более " +
           DecimalText(static_cast<int64_t>(usable_)) + " частей.";
}

std::string PieceRebuild::SecondFaultText(int64_t n) const {
    std::vector<MixFault> faults;
    for (const int64_t k : rebuilt_) faults.push_back({k, false});
    faults.push_back({n, false});
    return FaultsText(faults);
}

std::string PieceRebuild::FaultsText(std::vector<MixFault> faults) const {
    std::sort(faults.begin(), faults.end(),
              [](const MixFault& a, const MixFault& b) { return a.number < b.number; });
    std::string text;
    for (const MixFault& fault : faults)
        text += "Часть " + PieceAt(fault.number) +
                (fault.missing ? " не найдена." : " повреждена или изменена после разделения.") +
                "\r\n";
    return text + CapacityText() + " Соединение прервано.";
}

bool PieceRebuild::KeepGoing() {
    const DWORD now = GetTickCount();
    if (static_cast<DWORD>(now - paced_) < CopyPaceInterval()) return true;
    paced_ = now;
    hooks_.KeepResponsive();
    return !hooks_.StopRequested();
}

std::optional<std::vector<uint64_t>> PieceRebuild::LengthsOf(const Par2Reading::Set& set,
                                                             int64_t count,
                                                             std::vector<size_t>& places) const {
    if (set.pieces.size() != static_cast<size_t>(count)) return std::nullopt;
    // One look at each description, by the number in its name: a set of 32,768 pieces is
    // matched as fast as one of 4.
    std::vector<uint64_t> lengths(set.pieces.size());
    std::vector<bool> described(set.pieces.size());
    places.assign(set.pieces.size(), 0);
    for (size_t place = 0; place < set.pieces.size(); ++place) {
        // The recovery file names its pieces in UTF-8.
        const std::optional<std::string> name = Cp1251FromUtf8(set.pieces[place].name);
        const std::optional<int64_t> k = name ? PieceNumberOf(*name, baseName_) : std::nullopt;
        if (!k || *k > count || described[*k - 1]) return std::nullopt;
        described[*k - 1] = true;
        lengths[*k - 1] = set.pieces[place].length;
        places[*k - 1] = place;
    }
    return lengths;
}

bool PieceRebuild::MakeWorkFiles(size_t count, std::vector<std::unique_ptr<WorkFile>>& files) {
    std::string path;
    for (int i = 1; files.size() < count && i <= static_cast<int>(count) + kSpareNames; ++i) {
        path = outputPath_ + ".~piece" + (i == 1 ? "" : DecimalText(i));
        if (IsExistingFile(path) || IsExistingFolder(path)) continue;
        // Made only where no file is, so that it is never another's that goes at the end.
        auto file = std::make_unique<WorkFile>(path, WorkFileMaking::OnlyNew);
        if (!file->IsOpen()) break;
        workPaths_.push_back(path);
        files.push_back(std::move(file));
    }
    if (files.size() == count) return true;
    hooks_.ShowMessage("Невозможно создание файла " + path + "!");
    return false;
}

void PieceRebuild::RemoveWorkFiles() {
    // Only the files this join made: one of such a name may be the user's.
    for (const std::string& path : workPaths_) RemoveFile(path);
    workPaths_.clear();
}
