#include "engine/recovery/Rebuild.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "engine/system/FileServices.h"
#include "engine/digest/HashFeed.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Reader.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/Text.h"
#include "engine/digest/Sha256.h"
#include "engine/system/Utf8.h"
#include "engine/system/WorkFile.h"

// The other pieces' digests on one lane of the feed: the reader tags each buffer with the
// piece it is of.
class PieceRebuild::PieceDigests : public FeedWork {
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
struct PieceRebuild::OtherPiece {
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

namespace {

// The most pieces read side by side; a larger set is read that many at a time, each group
// mixed into what the groups before it left in the work file.
constexpr size_t kPiecesAtOnce = 32;

// The names tried for the rebuilt piece, "<output>.~piece", "<output>.~piece2", ...: a file of
// the user's under the first is left alone.
constexpr int kRebuiltNames = 100;

// Rests the feed's two lanes on every way out, so that no lane still works for digests that go.
struct LanesAtRest {
    HashFeed& feed;
    ~LanesAtRest() {
        feed.Rest(0);
        feed.Rest(1);
    }
};

} // namespace

PieceRebuild::PieceRebuild(JoinHooks& hooks, const std::string& pieceFolder,
                           const std::string& baseName, const std::string& outputPath)
    : hooks_(hooks), pieceFolder_(pieceFolder), baseName_(baseName),
      recoveryName_(RecoveryFileName(baseName)), recoveryPath_(pieceFolder + recoveryName_),
      outputPath_(outputPath), rebuiltPath_(outputPath + ".~piece") {}

PieceRebuild::~PieceRebuild() {
    // Only the file this join made: one of that name may be the user's.
    if (made_) RemoveFile(rebuiltPath_);
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

std::vector<PieceRebuild::OtherPiece> PieceRebuild::OpenGroup(const std::vector<int64_t>& others,
                                                              size_t first, size_t last,
                                                              std::vector<Fault>& faults) const {
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
        piece.fits = piece.size == static_cast<int64_t>(lengths_[k - 1]);
        piece.lane = static_cast<int>(pieces.size() % 2);
        piece.tag = static_cast<uint32_t>(pieces.size() / 2);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

bool PieceRebuild::MixGroup(const std::vector<int64_t>& others, size_t first, size_t last,
                            FileStream* recovery, WorkFile& rebuilt, HashFeed& feed,
                            uint64_t length, const SetCheck& check, std::vector<Fault>& faults,
                            bool& otherLengths) {
    // Column by column: at each offset the bytes there so far (the recovery slice's, for the
    // first group), every piece's bytes there XORed in, and the result written once; each
    // piece is hashed on a lane of the feed as it is read. The lanes rest, on every way out,
    // before the group's digests go.
    std::vector<OtherPiece> pieces = OpenGroup(others, first, last, faults);
    PieceDigests lanes[2] = {PieceDigests((pieces.size() + 1) / 2),
                             PieceDigests(pieces.size() / 2)};
    const LanesAtRest rest{feed};
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
    return CheckGroup(pieces, lanes, check, faults, otherLengths);
}

bool PieceRebuild::CheckGroup(const std::vector<OtherPiece>& pieces, PieceDigests (&lanes)[2],
                              const SetCheck& check, std::vector<Fault>& faults,
                              bool& otherLengths) {
    for (const OtherPiece& piece : pieces) {
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

std::optional<std::vector<uint64_t>> PieceRebuild::LengthsOf(const Par2Reading::Set& set,
                                                             int64_t count) const {
    if (set.pieces.size() != static_cast<size_t>(count)) return std::nullopt;
    // One look at each description, by the number in its name: a set of 32,768 pieces is
    // matched as fast as one of 4.
    std::vector<uint64_t> lengths(set.pieces.size());
    std::vector<bool> described(set.pieces.size());
    for (const Par2Piece& piece : set.pieces) {
        // The recovery file names its pieces in UTF-8.
        const std::optional<std::string> name = Cp1251FromUtf8(piece.name);
        const std::optional<int64_t> k = name ? PieceNumberOf(*name, baseName_) : std::nullopt;
        if (!k || *k > count || described[*k - 1]) return std::nullopt;
        described[*k - 1] = true;
        lengths[*k - 1] = piece.length;
    }
    return lengths;
}

std::unique_ptr<WorkFile> PieceRebuild::MakeWorkFile() {
    for (int i = 1; i <= kRebuiltNames; ++i) {
        const std::string path = outputPath_ + ".~piece" + (i == 1 ? "" : DecimalText(i));
        if (IsExistingFile(path) || IsExistingFolder(path)) continue;
        rebuiltPath_ = path;
        // Made only where no file is, so that it is never another's that goes at the end.
        auto file = std::make_unique<WorkFile>(path, WorkFileMaking::OnlyNew);
        made_ = file->IsOpen();
        if (made_) return file;
        break;
    }
    hooks_.ShowMessage("Невозможно создание файла " + rebuiltPath_ + "!");
    return nullptr;
}

bool PieceRebuild::Rebuild(int64_t n, const SetCheck& check, const std::string& faultText) {
    hooks_.SetStatus("Восстановление части " + PieceAt(n) + " по " + recoveryName_);
    paced_ = GetTickCount();
    const RecoveryFileReading reading =
        ReadRecoveryFile(recoveryPath_, [&] { return KeepGoing(); });
    if (reading.stopped) return false;
    const int64_t count = static_cast<int64_t>(check.digits.size());
    const std::string unused = faultText + "\r\nФайл восстановления " + recoveryPath_;
    if (reading.verdict == Par2Verdict::SlicesPerPiece) {
        hooks_.ShowMessage(unused + " сделан с несколькими срезами на часть: Varnok "
                                    "восстанавливает только наборы с одним срезом на часть.");
        return false;
    }
    if (!reading.set) {
        hooks_.ShowMessage(unused + " повреждён и не использован.");
        return false;
    }
    const std::string otherSet =
        unused + " описывает другие части, чем " + check.name + ", и не использован.";
    std::optional<std::vector<uint64_t>> lengths = LengthsOf(*reading.set, count);
    if (!lengths) {
        hooks_.ShowMessage(otherSet);
        return false;
    }
    lengths_ = std::move(*lengths);
    bool otherLengths = false;
    if (!MixAll(n, reading.set->recoveryOffset, check, otherLengths)) return false;
    if (otherLengths) {
        hooks_.ShowMessage(otherSet);
        return false;
    }
    rebuilt_ = n;
    return true;
}

bool PieceRebuild::MixAll(int64_t n, uint64_t recoveryOffset, const SetCheck& check,
                          bool& otherLengths) {
    const int64_t count = static_cast<int64_t>(check.digits.size());
    const std::unique_ptr<WorkFile> rebuilt = MakeWorkFile();
    if (!rebuilt) return false;
    FileStream recovery = OpenReadStream(recoveryPath_);
    if (recovery.Seek(static_cast<int64_t>(recoveryOffset), SeekOrigin::FromBeginning) < 0) {
        hooks_.ShowMessage("Невозможно прочитать файл " + recoveryPath_ + " полностью!");
        return false;
    }
    std::vector<int64_t> others;
    for (int64_t k = 1; k <= count; ++k)
        if (k != n) others.push_back(k);
    // One feed for every group: its threads and buffers are made once, however many groups.
    HashFeed feed(2, CopyBufferSize());
    if (!feed.Ready()) {
        hooks_.ShowMessage("Невозможно вычислить сумму SHA-256 файла " +
                           PieceAt(others.empty() ? n : others[0]) + "!");
        return false;
    }
    std::vector<Fault> faults;
    faults.push_back({n, !IsExistingFile(PieceAt(n))});
    // A set of one piece has no other: the recovery slice is the piece.
    for (size_t first = 0; first == 0 || first < others.size(); first += kPiecesAtOnce) {
        const size_t last = std::min(others.size(), first + kPiecesAtOnce);
        if (!MixGroup(others, first, last, first == 0 ? &recovery : nullptr, *rebuilt, feed,
                      lengths_[n - 1], check, faults, otherLengths))
            return false;
    }
    if (faults.size() > 1) {
        hooks_.ShowMessage(FaultsText(faults));
        return false;
    }
    return true;
}

int64_t PieceRebuild::RebuiltSize() const {
    return rebuilt_ == 0 ? 0 : static_cast<int64_t>(lengths_[rebuilt_ - 1]);
}
