// The split's recovery file: begun, judged against files of the same name, written and told.
#include "engine/split/SplitRecovery.h"

#include <windows.h>

#include <algorithm>

#include "engine/system/FileServices.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Reader.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/Text.h"
#include "engine/system/Utf8.h"

void SplitRecovery::Begin(SplitHooks& hooks, HashFeed* feed, int64_t pieceCount,
                          const std::string& workPath) {
    pieceMd5_ = Md5();
    if (pieceCount > Par2MostPieces) {
        hooks.ShowMessage("Файл восстановления " + RecoveryFileName(fileName_) +
                          " не будет создан: в наборе " + DecimalText(pieceCount) +
                          " частей, а формат PAR2 описывает не более " +
                          DecimalText(Par2MostPieces) + ". Разделение пойдёт без него.");
        return;
    }
    // The recovery file describes the pieces the check file lists: no check file, no feed.
    if (!feed) {
        hooks.ShowMessage("Файл восстановления " + RecoveryFileName(fileName_) +
                          " не будет создан: в системе нет вычисления SHA-256 для файла "
                          "проверки. Разделение пойдёт без него.");
        return;
    }
    writer_ = std::make_unique<RecoveryWriter>(workPath, slices_);
    if (!writer_->Ready()) {
        GiveUp(hooks, "Невозможно создание файла " + workPath +
                          ". Разделение пойдёт без файла "
                          "восстановления " +
                          RecoveryFileName(fileName_) + ".");
        return;
    }
    writer_->Start(*feed, ParityLane);
    feed_ = feed;
}

SplitRecovery::~SplitRecovery() {
    if (!writer_) return;
    writer_->Close();
    RemoveFile(writer_->WorkPath());
}

std::optional<RecoveryNameHolder>
SplitRecovery::Judge(const std::function<bool()>& keepGoing) const {
    return JudgeFile(FinalPath(), keepGoing);
}

std::optional<RecoveryNameHolder>
SplitRecovery::JudgeFile(const std::string& path, const std::function<bool()>& keepGoing) const {
    if (!IsExistingFile(path)) return RecoveryNameHolder::Nobody;
    // Whose set it is the description tells: a volume's slice, as large as a disk, is not read.
    const RecoveryFileReading reading = ReadRecoveryFile(path, keepGoing, Par2Scope::Description);
    if (reading.stopped) return std::nullopt;
    // A file that cannot be read as a whole recovery file is no proof of a set of ours.
    return reading.set && NamesThisSet(*reading.set) ? RecoveryNameHolder::ThisName
                                                     : RecoveryNameHolder::Other;
}

bool SplitRecovery::NamesThisSet(const Par2Reading::Set& set) const {
    // Pieces 1 .. count of this name, each once, in any order (the file lists them by ID).
    std::vector<bool> named(set.pieces.size(), false);
    for (const Par2Piece& piece : set.pieces) {
        // The recovery file names its pieces in UTF-8.
        const std::optional<std::string> name = Cp1251FromUtf8(piece.name);
        const std::optional<int64_t> n = name ? PieceNumberOf(*name, fileName_) : std::nullopt;
        if (!n || *n > static_cast<int64_t>(named.size()) || named[*n - 1]) return false;
        named[*n - 1] = true;
    }
    return !named.empty();
}

bool SplitRecovery::JudgeBeside(const std::function<bool()>& keepGoing) {
    const std::optional<RecoveryNameHolder> holder = Judge(keepGoing);
    holder_ = holder.value_or(RecoveryNameHolder::Nobody);
    return holder.has_value();
}

namespace {

// The names of the set's recovery files in the folder: "<file name>.par2" and its volumes.
std::vector<std::string> RecoveryFilesIn(const std::string& folder, const std::string& fileName) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*.par2").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            IsRecoveryFileOf(entry.cFileName, fileName))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

} // namespace

std::optional<std::vector<std::string>>
SplitRecovery::ClearRecoveryFiles(const std::function<bool()>& keepGoing) {
    std::vector<std::string> others;
    for (const std::string& name : RecoveryFilesIn(folder_, fileName_)) {
        const std::optional<RecoveryNameHolder> holder = JudgeFile(folder_ + name, keepGoing);
        if (!holder) return std::nullopt;
        // An older set's file would "repair" the new pieces back into the old ones.
        if (*holder == RecoveryNameHolder::ThisName) RemoveFile(folder_ + name);
        if (*holder == RecoveryNameHolder::Other) others.push_back(name);
    }
    otherLeft_ = otherLeft_ || !others.empty();
    return others;
}

bool SplitRecovery::ClearOnDisk(const std::function<bool()>& keepGoing) {
    return ClearRecoveryFiles(keepGoing).has_value();
}

std::string SplitRecovery::DoneLine() const {
    const std::string name = RecoveryFileName(fileName_);
    if (wanted_)
        return "Файл восстановления не записан: файл " + name +
               " в папке принадлежит не этому набору частей.";
    std::string lines;
    if (holder_ == RecoveryNameHolder::Other || otherLeft_)
        lines = "Файл " + name + " в папке не принадлежит набору частей и оставлен как есть.";
    if (volumesMade_ > 0)
        lines += (lines.empty() ? "" : "\r\n") + VolumesDoneLine(volumesWritten_, volumesMade_);
    return lines;
}

void SplitRecovery::BeginBeside(SplitHooks& hooks, HashFeed* feed, const PiecePlan& plan) {
    plan_ = plan;
    // Its name is another's: the set is made without it, and the completion says so.
    wanted_ = holder_ == RecoveryNameHolder::Other;
    if (wanted_) return;
    // No more recovery slices than pieces: as many rebuild every piece.
    slices_ = static_cast<uint32_t>(std::clamp<int64_t>(slicesAsked_, 1, plan.count));
    Begin(hooks, feed, plan.count, FinalPath() + ".~part");
    if (plan.count == 1) ExpectLastPiece(1);
}

void SplitRecovery::ExpectLastPiece(int64_t n) {
    if (!writer_) return;
    const int64_t largest =
        plan_.count == 1 ? plan_.lastSize : std::max(plan_.regularSize, plan_.lastSize);
    writer_->ExpectLastPiece(PieceName(fileName_, n), static_cast<uint64_t>(plan_.SizeOf(n)),
                             Par2SliceSize(static_cast<uint64_t>(largest)));
}

void SplitRecovery::BeginInTemp(SplitHooks& hooks, HashFeed* feed) {
    char folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
    // The pieces go onto removable disks; the XOR builds up on the computer meanwhile.
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "vnk", 0, path)) {
        hooks.ShowMessage("Невозможно создание временного файла для файла восстановления " +
                          RecoveryFileName(fileName_) + ". Разделение пойдёт без него.");
        return;
    }
    // The piece count is known only at the end, where the count is limited to it.
    slices_ = static_cast<uint32_t>(std::clamp<int64_t>(slicesAsked_, 1, MostDiskVolumes));
    Begin(hooks, feed, 0, path);
    // GetTempFileNameA made the file; without a writer nobody else removes it.
    if (!writer_) RemoveFile(path);
}

void SplitRecovery::EndPiece(HashFeed& feed, int64_t pieceNumber) {
    if (!writer_) return;
    if (pieceNumber > Par2MostPieces) {
        tooMany_ = true;
        Drop();
        return;
    }
    writer_->EndPiece(feed, PieceName(fileName_, pieceNumber), pieceMd5_);
    pieceMd5_ = Md5();
    if (pieceNumber + 1 == plan_.count) ExpectLastPiece(pieceNumber + 1);
}

SlicesMade SplitRecovery::Complete(SplitHooks& hooks) {
    // Several slices: the source is read once more, and the user sees that pass and can stop
    // it. One is the lane's XOR, complete already.
    if (slices_ > 1)
        hooks.SetStatus("Создание файла восстановления " + RecoveryFileName(fileName_));
    const int64_t total = static_cast<int64_t>(LookupFileSize(sourcePath_));
    return writer_->Complete(sourcePath_, [&](uint64_t done) {
        const int64_t at = static_cast<int64_t>(done);
        hooks.ReportProgress({at, total, at, total});
        hooks.KeepResponsive();
        return !hooks.StopRequested();
    });
}

bool SplitRecovery::FinishBeside(SplitHooks& hooks) {
    if (!writer_) {
        // A recovery file of an earlier split of this name would "repair" the new pieces
        // back into the old ones; another's is left.
        if (holder_ == RecoveryNameHolder::ThisName) RemoveFile(FinalPath());
        return true;
    }
    feed_->Rest(ParityLane);
    const SlicesMade made = Complete(hooks);
    writer_->Close();
    if (made == SlicesMade::Stopped) {
        Drop();
        return false;
    }
    if (made == SlicesMade::Made && ReplaceFileWith(writer_->WorkPath(), FinalPath())) {
        writer_.reset();
        return true;
    }
    GiveUp(hooks, "Невозможно записать файл " + FinalPath() +
                      ". Части и файл проверки записаны без него.");
    if (holder_ == RecoveryNameHolder::ThisName) RemoveFile(FinalPath());
    return true;
}

void SplitRecovery::Drop() {
    if (!writer_) return;
    // The lanes may still hold buffers of a copy that stopped; the writer must outlive them.
    if (feed_) feed_->Rest(ParityLane);
    writer_->Close();
    RemoveFile(writer_->WorkPath());
    writer_.reset();
}

std::string SplitRecovery::FinalPath() const { return folder_ + RecoveryFileName(fileName_); }

void SplitRecovery::GiveUp(SplitHooks& hooks, const std::string& text) {
    Drop();
    hooks.ShowMessage(text);
}

bool SplitRecovery::FinishOnDisks(SplitHooks& hooks, const VolumeDisks& disks) {
    const std::string name = RecoveryFileName(fileName_);
    const std::string without =
        "Набор частей полон и проверяется по файлу проверки, но файла восстановления " + name +
        " у него нет.";
    if (tooMany_) {
        hooks.ShowMessage("Файл восстановления " + name + " не записан: частей больше " +
                          DecimalText(Par2MostPieces) + ", а формат PAR2 больше не описывает. " +
                          without);
        return true;
    }
    if (!writer_) return true;
    feed_->Rest(ParityLane);
    // No more recovery slices than pieces: as many rebuild every piece.
    writer_->LimitSlices(static_cast<uint32_t>(writer_->Pieces()));
    slices_ = writer_->Slices();
    const SlicesMade made = Complete(hooks);
    writer_->Close();
    if (made == SlicesMade::Stopped) {
        Drop();
        hooks.ShowMessage(VolumesLeftText(0, slices_));
        return false;
    }
    if (made == SlicesMade::Failed) {
        GiveUp(hooks, "Невозможно записать файл " + writer_->WorkPath() + ". " + without);
        return true;
    }
    const bool goOn = WriteOntoDisks(hooks, disks);
    Drop();
    return goOn;
}

bool SplitRecovery::WriteOntoDisks(SplitHooks& hooks, const VolumeDisks& disks) {
    const std::vector<RecoveryPart> parts =
        DiskRecoveryParts(fileName_, slices_, writer_->RecoveryPacketBytes(), writer_->FileBytes());
    const VolumesWritten written = WriteRecoveryParts(hooks, writer_->WorkPath(), parts, disks);
    volumesWritten_ = written.volumes;
    volumesMade_ = slices_;
    if (written.end != VolumesEnd::Written)
        hooks.ShowMessage(VolumesLeftText(written.volumes, slices_));
    return written.end != VolumesEnd::Stopped;
}
