#include "engine/Rebuild.h"

#include <windows.h>

#include <algorithm>

#include "engine/FileServices.h"
#include "engine/HashFeed.h"
#include "engine/Par2.h"
#include "engine/Par2Reader.h"
#include "engine/PieceSet.h"
#include "engine/Text.h"
#include "engine/SameName.h"
#include "engine/Utf8.h"
#include "engine/WorkFile.h"

namespace {

// The feed's lanes while the other pieces are read.
constexpr int kDigestLane = 0;
constexpr int kMixLane = 1;

// XORs each piece read into the rebuilt bytes at the work file's start, as far as the rebuilt
// piece reaches; a piece of another length than the recovery file says is not mixed in.
class XorInto : public FeedWork {
  public:
    XorInto(WorkFile& file, uint64_t length, uint32_t bufferSize)
        : file_(file), length_(length), mixed_(bufferSize) {}

    void NextPiece(bool fits) {
        at_ = 0;
        fits_ = fits;
    }

    void Add(const char* bytes, uint32_t size) override {
        const uint32_t overlap =
            fits_ && at_ < length_ ? static_cast<uint32_t>(std::min<uint64_t>(size, length_ - at_))
                                   : 0;
        if (overlap > 0 && !failed) {
            char* mixed = mixed_.data();
            failed = !file_.ReadAt(at_, mixed, overlap);
            for (uint32_t i = 0; i < overlap && !failed; ++i) mixed[i] ^= bytes[i];
            failed = failed || !file_.WriteAt(at_, mixed, overlap);
        }
        at_ += size;
    }

    bool failed = false;

  private:
    WorkFile& file_;
    const uint64_t length_;
    std::vector<char> mixed_;
    uint64_t at_ = 0;
    bool fits_ = false;
};

} // namespace

PieceRebuild::PieceRebuild(JoinHooks& hooks, const std::string& pieceFolder,
                           const std::string& baseName, const std::string& outputPath)
    : hooks_(hooks), pieceFolder_(pieceFolder), baseName_(baseName),
      recoveryName_(RecoveryFileName(baseName)), recoveryPath_(pieceFolder + recoveryName_),
      rebuiltPath_(outputPath + ".~piece") {}

PieceRebuild::~PieceRebuild() {
    if (IsExistingFile(rebuiltPath_)) RemoveFile(rebuiltPath_);
}

bool PieceRebuild::Possible() const { return rebuilt_ == 0 && IsExistingFile(recoveryPath_); }

std::string PieceRebuild::PieceAt(int64_t n) const { return PiecePath(pieceFolder_, baseName_, n); }

const std::string& PieceRebuild::PathFor(int64_t n, const std::string& piecePath) const {
    return n == rebuilt_ ? rebuiltPath_ : piecePath;
}

std::string PieceRebuild::DoneLine() const {
    if (rebuilt_ == 0) return {};
    return "\r\nЧасть " + DecimalText(rebuilt_) + " восстановлена по " + recoveryName_ + ".";
}

std::string PieceRebuild::MismatchText(const SetCheck& check) const {
    return "Часть " + PieceAt(rebuilt_) + ", восстановленная по " + recoveryName_ +
           ", не совпадает со строкой в " + check.name +
           ": файл восстановления не от этого набора частей. Соединение прервано.";
}

std::string PieceRebuild::OnlyOneText() const {
    return "Файл восстановления " + recoveryName_ + " восстанавливает только одну часть.";
}

std::string PieceRebuild::SecondFaultText(int64_t n) const {
    return FaultsText({{rebuilt_, false}, {n, false}});
}

std::string PieceRebuild::FaultsText(std::vector<Fault> faults) const {
    std::sort(faults.begin(), faults.end(),
              [](const Fault& a, const Fault& b) { return a.number < b.number; });
    std::string text;
    for (const Fault& fault : faults)
        text += "Часть " + PieceAt(fault.number) +
                (fault.missing ? " не найдена." : " повреждена или изменена после разделения.") +
                "\r\n";
    return text + OnlyOneText() + " Соединение прервано.";
}

bool PieceRebuild::KeepGoing() {
    const DWORD now = GetTickCount();
    if (static_cast<DWORD>(now - paced_) < CopyPaceInterval()) return true;
    paced_ = now;
    hooks_.KeepResponsive();
    return !hooks_.StopRequested();
}

bool PieceRebuild::Rebuild(int64_t n, const SetCheck& check, const std::string& faultText) {
    hooks_.SetStatus("Восстановление части " + PieceAt(n) + " по " + recoveryName_);
    paced_ = GetTickCount();
    const RecoveryFileReading reading =
        ReadRecoveryFile(recoveryPath_, [&] { return KeepGoing(); });
    if (reading.stopped) return false;
    const int64_t count = static_cast<int64_t>(check.digits.size());
    const std::string unused = faultText + "\r\nФайл восстановления " + recoveryPath_;
    if (!reading.set) {
        hooks_.ShowMessage(unused + " повреждён и не использован.");
        return false;
    }
    // Piece k's length, as the recovery file describes it, at k - 1.
    std::vector<uint64_t> lengths;
    for (int64_t k = 1; k <= count && reading.set->pieces.size() == check.digits.size(); ++k) {
        // The recovery file names its pieces in UTF-8.
        const std::string name = PieceName(baseName_, k);
        for (const Par2Piece& piece : reading.set->pieces)
            if (SameName(Cp1251FromUtf8(piece.name).value_or(std::string()), name))
                lengths.push_back(piece.length);
        if (lengths.size() != static_cast<size_t>(k)) break;
    }
    const std::string otherSet =
        unused + " описывает другие части, чем " + check.name + ", и не использован.";
    if (lengths.size() != check.digits.size()) {
        hooks_.ShowMessage(otherSet);
        return false;
    }
    const uint64_t length = lengths[n - 1];
    WorkFile rebuilt(rebuiltPath_);
    if (!rebuilt.IsOpen()) {
        hooks_.ShowMessage("Невозможно создание файла " + rebuiltPath_ + "!");
        return false;
    }
    std::vector<char> run(CopyBufferSize());
    const std::string readFailed = "Невозможно прочитать файл " + recoveryPath_ + " полностью!";
    // The recovery slice's first bytes, then every other piece XORed into them.
    {
        FileStream recovery = OpenReadStream(recoveryPath_);
        if (recovery.Seek(static_cast<int64_t>(reading.set->recoveryOffset),
                          SeekOrigin::FromBeginning) < 0) {
            hooks_.ShowMessage(readFailed);
            return false;
        }
        for (uint64_t at = 0; at < length;) {
            const uint32_t take =
                static_cast<uint32_t>(std::min<uint64_t>(run.size(), length - at));
            if (recovery.Read(run.data(), take) != take) {
                hooks_.ShowMessage(readFailed);
                return false;
            }
            if (!rebuilt.WriteAt(at, run.data(), take)) {
                hooks_.ShowMessage("Невозможно записать файл " + rebuiltPath_ + " полностью!");
                return false;
            }
            at += take;
        }
    }
    std::vector<Fault> faults;
    faults.push_back({n, !IsExistingFile(PieceAt(n))});
    bool otherLengths = false;
    // Each other piece is read once: its digest on one thread, its XOR into the rebuilt bytes
    // on another, while this one reads on.
    HashFeed feed(2, CopyBufferSize());
    XorInto mixing(rebuilt, length, CopyBufferSize());
    if (!feed.Ready()) {
        hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + PieceAt(1) + "!");
        return false;
    }
    for (int64_t k = 1; k <= count; ++k) {
        if (k == n) continue;
        hooks_.SetStatus("Восстановление части " + PieceAt(n) + " по " + recoveryName_ +
                         ": чтение части " + PieceAt(k));
        if (!KeepGoing()) return false;
        FileStream piece = OpenReadStream(PieceAt(k));
        if (!piece.IsOpen()) {
            faults.push_back({k, !IsExistingFile(PieceAt(k))});
            continue;
        }
        const int64_t size = piece.Size();
        // A piece of another length is read all the same: its digest tells whether the piece
        // or the recovery file is at fault.
        const bool fits = size == static_cast<int64_t>(lengths[k - 1]);
        feed.Rest(kMixLane);
        mixing.NextPiece(fits);
        feed.Begin(kMixLane, mixing);
        if (!feed.Begin(kDigestLane)) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + PieceAt(k) + "!");
            return false;
        }
        const CopyResult read = ReadThroughFeed(
            piece, size, [&](int64_t) { return KeepGoing(); }, feed);
        if (read.stopped) return false;
        const std::optional<std::string> digits = feed.Finish(kDigestLane);
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + PieceAt(k) + "!");
            return false;
        }
        const bool intact = !read.sourceShort && *digits == check.digits[k - 1];
        if (!intact) faults.push_back({k, false});
        otherLengths = otherLengths || (intact && !fits);
    }
    feed.Rest(kMixLane);
    if (mixing.failed) {
        hooks_.ShowMessage("Невозможно записать файл " + rebuiltPath_ + " полностью!");
        return false;
    }
    if (faults.size() > 1) {
        hooks_.ShowMessage(FaultsText(faults));
        return false;
    }
    if (otherLengths) {
        hooks_.ShowMessage(otherSet);
        return false;
    }
    rebuilt_ = n;
    return true;
}
