// The recovery files a join from disks copies off the disks, and their work files' removal.
#include "engine/join/RecoveryCopies.h"

#include <algorithm>

#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Par2.h"
#include "engine/system/FileServices.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"
#include "engine/system/WorkFile.h"

namespace {

// The names tried for the copies, "<output>.~recovery1" onwards: a file of the user's under a
// name is left alone.
constexpr int kMostNames = 1000;

} // namespace

RecoveryCopies::RecoveryCopies(JoinHooks& hooks, const std::string& outputPath,
                               const std::string& baseName)
    : hooks_(hooks), outputPath_(outputPath), baseName_(baseName) {}

bool RecoveryCopies::Has(const std::string& name) const {
    return std::any_of(names_.begin(), names_.end(),
                       [&](const std::string& had) { return SameName(had, name); });
}

bool RecoveryCopies::TakeFrom(const std::string& folder, size_t& taken) {
    taken = 0;
    // The index first: a set's description, and an older set's only recovery file.
    std::vector<std::string> names;
    if (IsExistingFile(folder + RecoveryFileName(baseName_)))
        names.push_back(RecoveryFileName(baseName_));
    for (const std::string& name : RecoveryVolumes(folder, baseName_))
        if (IsRecoveryFileOf(name, baseName_)) names.push_back(name);
    for (const std::string& name : names) {
        if (Has(name)) continue;
        if (!Take(folder + name, name)) return false;
        ++taken;
    }
    return true;
}

bool RecoveryCopies::Take(const std::string& path, const std::string& name) {
    std::string workPath;
    for (int i = static_cast<int>(workPaths_.size()) + 1; i <= kMostNames && workPath.empty();
         ++i) {
        const std::string candidate = outputPath_ + ".~recovery" + DecimalText(i);
        // Made only where no file is, so that it is never another's that goes at the end.
        if (!IsExistingFolder(candidate) && WorkFile(candidate, WorkFileMaking::OnlyNew).IsOpen())
            workPath = candidate;
    }
    if (workPath.empty()) {
        hooks_.ShowMessage("Невозможно создание файла " + outputPath_ + ".~recovery!");
        return false;
    }
    workPaths_.push_back(workPath);
    hooks_.SetStatus("Копирование файла восстановления " + path);
    FileStream source = OpenReadStream(path);
    FileStream copy = OpenWriteStream(workPath);
    const int64_t size = source.Size();
    const CopyResult copied =
        CopyStreamBytes(copy, source, size, [&](int64_t) { return KeepGoing(); });
    stopped_ = copied.stopped;
    if (stopped_) return false;
    const bool whole = size > 0 && copied.written == size && copy.Flush();
    copy.Close();
    // A copy cut short is read as far as it goes: its slices that hold still count.
    if (!whole && !copied.sourceShort) {
        hooks_.ShowMessage("Невозможно записать файл " + workPath +
                           " полностью! Возможно, на диске нет места.");
        return false;
    }
    names_.push_back(name);
    const bool first = SameName(name, RecoveryFileName(baseName_));
    const bool read = AddRecoveryFile(sources_, workPath, first, [&] { return KeepGoing(); });
    stopped_ = sources_.stopped;
    return read;
}

void RecoveryCopies::RemoveAll() {
    // Only the files this join made.
    for (const std::string& path : workPaths_) RemoveFile(path);
    workPaths_.clear();
}
