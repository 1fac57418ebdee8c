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
#include "engine/Sha256.h"
#include "engine/Utf8.h"
#include "engine/WorkFile.h"

namespace {

// The other pieces' digests on one lane of the feed: the reader tags each buffer with the
// piece it is of.
class PieceDigests : public FeedWork {
  public:
    // A fresh digest for each of count pieces, tagged 0 .. count - 1.
    explicit PieceDigests(size_t count) {
        for (size_t i = 0; i < count; ++i) digests.push_back(std::make_unique<Sha256>());
    }
    void Add(const char* bytes, uint32_t size, uint32_t tag) override {
        digests[tag]->Add(bytes, size);
    }
    std::vector<std::unique_ptr<Sha256>> digests;
};

// Another piece as it is read: how far, and whether it ended before its size.
struct OtherPiece {
    int64_t number = 0;
    FileStream stream;
    int64_t size = 0;
    int64_t done = 0;
    bool fits = false; // of the length the recovery file says, and so mixed in
    bool cutShort = false;
    int lane = 0;
    uint32_t tag = 0; // its digest's place on its lane

    bool More() const { return done < size && !cutShort; }
};

// The most pieces read side by side; a larger set is read that many at a time, each group
// mixed into what the groups before it left in the work file.
constexpr size_t kPiecesAtOnce = 32;

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

bool PieceRebuild::MixGroup(const std::vector<int64_t>& others, size_t first, size_t last,
                            FileStream* recovery, WorkFile& rebuilt, uint64_t length,
                            const std::vector<uint64_t>& lengths, const SetCheck& check,
                            std::vector<Fault>& faults, bool& otherLengths) {
    // Column by column: at each offset the bytes there so far (the recovery slice's, for the
    // first group), every piece's bytes there XORed in, and the result written once; each
    // piece is hashed on a lane of the feed as it is read. The lanes' work goes before the
    // feed, which ends their threads.
    std::vector<OtherPiece> pieces;
    for (size_t i = first; i < last; ++i) {
        const int64_t k = others[i];
        FileStream stream = OpenReadStream(PieceAt(k));
        if (!stream.IsOpen()) {
            faults.push_back({k, !IsExistingFile(PieceAt(k))});
            continue;
        }
        OtherPiece piece;
        piece.number = k;
        piece.size = stream.Size();
        piece.stream = std::move(stream);
        // A piece of another length is read all the same: its digest tells whether the piece
        // or the recovery file is at fault.
        piece.fits = piece.size == static_cast<int64_t>(lengths[k - 1]);
        piece.lane = static_cast<int>(pieces.size() % 2);
        piece.tag = static_cast<uint32_t>(pieces.size() / 2);
        pieces.push_back(std::move(piece));
    }
    PieceDigests lanes[2] = {PieceDigests((pieces.size() + 1) / 2),
                             PieceDigests(pieces.size() / 2)};
    HashFeed feed(2, CopyBufferSize());
    if (!feed.Ready()) {
        hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + PieceAt(others[first]) +
                           "!");
        return false;
    }
    feed.Begin(0, lanes[0]);
    feed.Begin(1, lanes[1]);
    const uint32_t bufferSize = feed.BufferSize();
    std::vector<char> column(bufferSize);
    for (uint64_t at = 0;; at += bufferSize) {
        if (!KeepGoing()) return false;
        const uint32_t rebuiltHere =
            at < length ? static_cast<uint32_t>(std::min<uint64_t>(bufferSize, length - at)) : 0;
        const bool read = recovery ? recovery->Read(column.data(), rebuiltHere) == rebuiltHere
                                   : rebuilt.ReadAt(at, column.data(), rebuiltHere);
        if (rebuiltHere > 0 && !read) {
            hooks_.ShowMessage("Невозможно прочитать файл " +
                               (recovery ? recoveryPath_ : rebuiltPath_) + " полностью!");
            return false;
        }
        bool more = false;
        for (OtherPiece& piece : pieces) {
            if (!piece.More()) continue;
            char* buffer = feed.TakeBuffer();
            const uint32_t want =
                static_cast<uint32_t>(std::min<int64_t>(piece.size - piece.done, bufferSize));
            const uint32_t got = piece.stream.Read(buffer, want);
            // Every piece still read is at this column's offset.
            const uint32_t mixed =
                piece.fits && at < length ? std::min<uint32_t>(got, rebuiltHere) : 0;
            for (uint32_t i = 0; i < mixed; ++i) column[i] ^= buffer[i];
            feed.PassTo(buffer, got, piece.lane, piece.tag);
            piece.done += got;
            piece.cutShort = got < want;
            more = more || piece.More();
        }
        if (rebuiltHere > 0 && !rebuilt.WriteAt(at, column.data(), rebuiltHere)) {
            hooks_.ShowMessage("Невозможно записать файл " + rebuiltPath_ + " полностью!");
            return false;
        }
        if (!more && at + bufferSize >= length) break;
    }
    feed.Rest(0);
    feed.Rest(1);
    for (OtherPiece& piece : pieces) {
        const std::optional<std::string> digits = lanes[piece.lane].digests[piece.tag]->Finish();
        if (!digits) {
            hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " + PieceAt(piece.number) +
                               "!");
            return false;
        }
        const bool intact = !piece.cutShort && *digits == check.digits[piece.number - 1];
        if (!intact) faults.push_back({piece.number, false});
        otherLengths = otherLengths || (intact && !piece.fits);
    }
    return true;
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
    FileStream recovery = OpenReadStream(recoveryPath_);
    if (recovery.Seek(static_cast<int64_t>(reading.set->recoveryOffset),
                      SeekOrigin::FromBeginning) < 0) {
        hooks_.ShowMessage("Невозможно прочитать файл " + recoveryPath_ + " полностью!");
        return false;
    }
    std::vector<Fault> faults;
    faults.push_back({n, !IsExistingFile(PieceAt(n))});
    bool otherLengths = false;
    std::vector<int64_t> others;
    for (int64_t k = 1; k <= count; ++k)
        if (k != n) others.push_back(k);
    // A set of one piece has no other: the recovery slice is the piece.
    for (size_t first = 0; first == 0 || first < others.size(); first += kPiecesAtOnce) {
        const size_t last = std::min(others.size(), first + kPiecesAtOnce);
        if (!MixGroup(others, first, last, first == 0 ? &recovery : nullptr, rebuilt, length,
                      lengths, check, faults, otherLengths))
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
