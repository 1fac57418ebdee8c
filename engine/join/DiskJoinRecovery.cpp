// The end of a join from disks that lost pieces: the set's recovery files copied off the disks
// that hold them, the lost pieces rebuilt from them and the pieces read (those gathered in
// place, the others in their work files), and the rebuilt and held pieces appended in order.
#include <algorithm>

#include "engine/join/DiskJoinTexts.h"
#include "engine/join/DiskJoiner.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/join/JoinOutput.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"

namespace {

// What the completion line says the pieces were rebuilt by when the volumes gave the slices.
const char kByVolumes[] = "томам восстановления";

bool Among(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& had) { return SameName(had, name); });
}

} // namespace

bool DiskJoiner::RecoverLost() {
    if (lost_.empty()) return true;
    std::sort(lost_.begin(), lost_.end());
    return GatherVolumes() && RebuildLost() && AppendTheRest();
}

// The disk in the drive first, then the disks asked for, until the slices suffice; false
// after a message, a Cancel or a stop.
bool DiskJoiner::GatherVolumes() {
    std::string fault;
    if (!TakeVolumesOnDisk(false, fault)) return false;
    while (copies_.Slices() < lost_.size()) {
        const std::string wanted = WantedVolume();
        const int64_t needed = static_cast<int64_t>(lost_.size() - copies_.Slices());
        const Reply reply =
            hooks_.AskYesNoCancel(VolumeDiskQuestion(fault, letter_, baseName_, wanted, needed));
        if (reply == Reply::Cancel || !hooks_.KeepGoing()) return Stopped();
        fault.clear();
        if (reply == Reply::No) {
            if (!wanted.empty()) declined_.push_back(wanted);
            continue;
        }
        if (!TakeVolumesOnDisk(true, fault)) return false;
    }
    return true;
}

// Copies the set's recovery files on the disk in the drive; fault tells a disk asked for that
// gave none. false after a message or a stop.
bool DiskJoiner::TakeVolumesOnDisk(bool asked, std::string& fault) {
    const CheckLines lines = ReadCheckLines(pieceFolder_, baseName_);
    if (lines.found && lines.refusal.empty() && !Agrees(lines)) {
        fault = "Диск " + letter_ + " относится к другому набору частей: его файл проверки " +
                lines.check.name + " не совпадает с файлами проверки прочитанных дисков.";
        return true;
    }
    for (const CheckEntry& entry : lines.recovery)
        if (!Among(listed_, entry.name)) listed_.push_back(entry.name);
    const size_t slices = copies_.Slices();
    size_t taken = 0;
    if (!copies_.TakeFrom(pieceFolder_, taken)) return copies_.Stopped() ? Stopped() : false;
    // A disk asked for that gave volumes is one more disk the set was gathered from.
    if (asked && taken > 0) ++disksRead_;
    if (asked && taken == 0)
        fault = "На диске " + letter_ + " нет томов восстановления набора " + baseName_ + ", " +
                "которые ещё не прочитаны.";
    else if (asked && copies_.Slices() == slices)
        fault = "Тома восстановления на диске " + letter_ +
                " не добавили исправных срезов "
                "восстановления.";
    return true;
}

// The recovery file to ask for next: one a disk's check file named, else the next volume by
// the names the volumes of a disk set have; empty when no name is known.
std::string DiskJoiner::WantedVolume() const {
    for (const std::string& name : listed_)
        if (!copies_.Has(name) && !Among(declined_, name)) return name;
    int digits = 0;
    for (const std::string& name : copies_.Names())
        digits = std::max(digits, VolumeNameDigits(name, baseName_));
    for (const std::string& name : listed_)
        digits = std::max(digits, VolumeNameDigits(name, baseName_));
    if (digits == 0) return {};
    uint32_t most = 1;
    for (int i = 0; i < digits; ++i) most *= 10;
    for (uint32_t e = 0; e < most && e < Par2MostPieces; ++e) {
        const std::string name = RecoveryVolumeName(baseName_, e, 1, digits);
        if (!copies_.Has(name) && !Among(declined_, name)) return name;
    }
    return {};
}

// Where the rebuild reads piece n: in the gathering file before the first lost one, in its
// work file after it; nowhere for a lost one. Either was held against its line as it came off
// its disk, so the rebuild does not hash it again: the whole file's line, checked at the end,
// still covers every byte.
PieceSource DiskJoiner::SourceOf(int64_t n) const {
    if (n < FirstLost()) {
        const size_t at = static_cast<size_t>(n - 1);
        const int64_t end = at + 1 < gathered_.size() ? gathered_[at + 1] : gatheredBytes_;
        return {gathering_.Path(), gathered_[at], end - gathered_[at], true};
    }
    return {held_.PathOf(n), 0, -1, true};
}

// Rebuilds the lost pieces, the gathering file closed meanwhile for the rebuild to read the
// pieces in it; false after a message or a stop.
bool DiskJoiner::RebuildLost() {
    if (!gathering_.Pause()) return false;
    const std::vector<std::string>& names = copies_.Names();
    const bool indexAlone = names.size() == 1 && SameName(names[0], RecoveryFileName(baseName_));
    rebuild_.TakeInputs({copies_.Sources(), [this](int64_t n) { return SourceOf(n); },
                         indexAlone ? RecoveryFileName(baseName_) : kByVolumes});
    if (!rebuild_.Rebuild(lost_, known_, LostPiecesText(pieceFolder_, baseName_, lost_)))
        return false;
    copies_.RemoveAll();
    // Pieces in the gathering file were checked as they came: one found faulty now changed on
    // the target disk, and cannot be put back in its place.
    for (int64_t n = 1; n < FirstLost(); ++n)
        if (rebuild_.IsRebuilt(n)) {
            hooks_.ShowMessage(DamagedPieceText(PieceAt(n), known_));
            return false;
        }
    return gathering_.Resume(gatheredBytes_, spoiled_) || Stopped();
}

// Appends the pieces from the first lost one on, rebuilt or held, each checked again as it is
// appended; a held piece's file goes once it is appended.
bool DiskJoiner::AppendTheRest() {
    int64_t total = gatheredBytes_;
    std::vector<std::string> paths;
    for (int64_t n = FirstLost(); n <= Listed(); ++n) {
        paths.push_back(rebuild_.IsRebuilt(n) ? rebuild_.PathFor(n, {}) : held_.PathOf(n));
        total += static_cast<int64_t>(LookupFileSize(paths.back()));
    }
    int64_t appended = gatheredBytes_;
    for (int64_t n = FirstLost(); n <= Listed(); ++n) {
        const std::string& path = paths[static_cast<size_t>(n - FirstLost())];
        hooks_.SetStatus(JoinText() + " из части " + path);
        FileStream piece = OpenReadStream(path);
        const int64_t size = piece.Size();
        const PieceAppend done = gathering_.Append(piece, path, n, [&](int64_t written) {
            return hooks_.YieldWithProgress({appended + written, total, written, size});
        });
        piece.Close();
        appended += done.written;
        if (!rebuild_.IsRebuilt(n)) held_.Release(n);
        if (done.outcome == Appended::Whole) continue;
        if (done.outcome == Appended::Stopped) return Stopped();
        if (done.outcome == Appended::Faulty)
            hooks_.ShowMessage(rebuild_.IsRebuilt(n) ? rebuild_.MismatchText(n, known_)
                                                     : done.fault);
        return false;
    }
    return true;
}
