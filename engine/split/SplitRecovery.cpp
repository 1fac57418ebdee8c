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
    if (!IsExistingFile(FinalPath())) return RecoveryNameHolder::Nobody;
    const RecoveryFileReading reading = ReadRecoveryFile(FinalPath(), keepGoing);
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

bool SplitRecovery::ClearOnDisk(const std::function<bool()>& keepGoing) {
    const std::optional<RecoveryNameHolder> holder = Judge(keepGoing);
    if (!holder) return false;
    // An older set's file would "repair" the new pieces back into the old ones.
    if (*holder == RecoveryNameHolder::ThisName) RemoveFile(FinalPath());
    otherLeft_ = otherLeft_ || *holder == RecoveryNameHolder::Other;
    return true;
}

std::string SplitRecovery::DoneLine() const {
    const std::string name = RecoveryFileName(fileName_);
    if (wanted_)
        return "Файл восстановления не записан: файл " + name +
               " в папке принадлежит не этому набору частей.";
    if (holder_ == RecoveryNameHolder::Other || otherLeft_)
        return "Файл " + name + " в папке не принадлежит набору частей и оставлен как есть.";
    return {};
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
    // A disk set keeps one recovery slice: the pieces' sizes are known only disk by disk.
    slices_ = 1;
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
    if (slices_ == 1) return writer_->Complete() ? SlicesMade::Made : SlicesMade::Failed;
    // The source is read once more: the user sees that pass and can stop it.
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

bool SplitRecovery::CopyOnto(const Disks& disks, bool& stopped) {
    const std::string part = FinalPath() + ".~part";
    FileStream source = OpenReadStream(writer_->WorkPath());
    FileStream target = OpenWriteStream(part);
    const int64_t size = static_cast<int64_t>(writer_->FileBytes());
    const CopyResult copied =
        CopyStreamBytes(target, source, size, [&](int64_t) { return disks.keepGoing(); });
    stopped = copied.stopped;
    const bool whole = !copied.stopped && copied.written == size && target.Flush();
    target.Close();
    if (whole && ReplaceFileWith(part, FinalPath())) return true;
    RemoveFile(part);
    return false;
}

bool SplitRecovery::FinishOnDisks(SplitHooks& hooks, const Disks& disks) {
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
    if (!writer_->Complete()) {
        GiveUp(hooks, "Невозможно записать файл " + writer_->WorkPath() + ". " + without);
        return true;
    }
    writer_->Close();
    const uint64_t size = writer_->FileBytes();
    std::string why; // what kept the disk before from taking it, when not its room
    for (bool lastDisk = true;; lastDisk = false) {
        if (!lastDisk) {
            const std::string ask =
                why + "Вставте другой диск " + disks.letter + " для записи файла восстановления " +
                name + " (" + DecimalText(static_cast<int64_t>(size)) + " байт) и нажмите Ок.";
            if (!hooks.AskOkCancel(ask)) {
                GiveUp(hooks, "Файл восстановления " + name + " не записан. " + without);
                return true;
            }
        }
        why.clear();
        if (disks.room() < size) continue;
        const std::optional<RecoveryNameHolder> holder = Judge(disks.keepGoing);
        if (!holder) {
            Drop();
            return false;
        }
        if (*holder == RecoveryNameHolder::Other) {
            otherLeft_ = true;
            why = "Файл " + name + " на диске " + disks.letter +
                  ":\\ принадлежит не этому набору частей и оставлен как есть.\n\r";
            continue;
        }
        bool stopped = false;
        if (CopyOnto(disks, stopped)) {
            Drop();
            return true;
        }
        if (stopped) {
            Drop();
            return false;
        }
        // The disk took less than it said: another one may take it.
    }
}
