#include "engine/SplitRecovery.h"

#include "engine/FileServices.h"
#include "engine/Par2.h"
#include "engine/PieceSet.h"
#include "engine/Text.h"

void SplitRecovery::Begin(SplitHooks& hooks, HashFeed* feed, int64_t pieceCount,
                          const std::string& workPath) {
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
    writer_ = std::make_unique<RecoveryWriter>(workPath);
    if (!writer_->Ready()) {
        GiveUp(hooks, "Невозможно создание файла " + workPath +
                          ". Разделение пойдёт без файла "
                          "восстановления " +
                          RecoveryFileName(fileName_) + ".");
        return;
    }
    writer_->Start(*feed, DigestLane, ParityLane);
    feed_ = feed;
}

SplitRecovery::~SplitRecovery() {
    if (!writer_) return;
    writer_->Close();
    RemoveFile(writer_->WorkPath());
}

void SplitRecovery::BeginBeside(SplitHooks& hooks, HashFeed* feed, int64_t pieceCount) {
    Begin(hooks, feed, pieceCount, FinalPath() + ".~part");
}

void SplitRecovery::EndPiece(HashFeed& feed, int64_t pieceNumber) {
    if (writer_) writer_->EndPiece(feed, PieceName(fileName_, pieceNumber));
}

void SplitRecovery::FinishBeside(SplitHooks& hooks) {
    if (!writer_) {
        // A recovery file of an earlier split of this name would "repair" the new pieces
        // back into the old ones.
        if (IsExistingFile(FinalPath())) RemoveFile(FinalPath());
        return;
    }
    feed_->Rest(DigestLane);
    feed_->Rest(ParityLane);
    const bool made = writer_->Complete();
    writer_->Close();
    if (made && ReplaceFileWith(writer_->WorkPath(), FinalPath())) {
        writer_.reset();
        return;
    }
    GiveUp(hooks, "Невозможно записать файл " + FinalPath() +
                      ". Части и файл проверки записаны без него.");
    if (IsExistingFile(FinalPath())) RemoveFile(FinalPath());
}

void SplitRecovery::Drop() {
    if (!writer_) return;
    // The lanes may still hold buffers of a copy that stopped; the writer must outlive them.
    if (feed_) {
        feed_->Rest(DigestLane);
        feed_->Rest(ParityLane);
    }
    writer_->Close();
    RemoveFile(writer_->WorkPath());
    writer_.reset();
}

std::string SplitRecovery::FinalPath() const { return folder_ + RecoveryFileName(fileName_); }

void SplitRecovery::GiveUp(SplitHooks& hooks, const std::string& text) {
    Drop();
    hooks.ShowMessage(text);
}
