// The recovery file built up in its work file as the pieces are written, then finished.
#include "engine/recovery/RecoveryWriter.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "engine/digest/Crc32.h"
#include "engine/digest/Md5.h"
#include "engine/recovery/Galois16.h"
#include "engine/recovery/Par2.h"
#include "engine/system/Utf8.h"
#include "engine/system/WorkFile.h"

namespace {

// The recovery packet comes first, so that its slice's bytes lie at a fixed offset while they
// build up; its header is written once the set is known.
constexpr uint64_t kDataOffset = Par2HeaderSize + Par2ExponentSize;

// The recovery packet's digest, taken along while the last piece is XORed in: from its first
// byte on, the slice's bytes are final then. The digest starts with the set's ID, which needs
// the last piece's first bytes' digest, so the final bytes wait until those are in.
class LastPieceBody {
  public:
    // described: every piece's name, length and first bytes' digest, the last one's to come.
    LastPieceBody(std::vector<Par2Piece> described, uint64_t sliceSize)
        : described_(std::move(described)), sliceSize_(sliceSize),
          firstWanted_(std::min(Par2FirstBytes, described_.back().length)) {}

    // The digest of the last piece's first bytes so far.
    void TakeFirst(const Md5& first) {
        if (setId_ || first.Length() < firstWanted_) return;
        described_.back().first = first.Finish();
        setId_ = DescribeSet(sliceSize_, described_, "").setId;
        body_ = RecoveryBodyDigest(*setId_);
        body_.Add(waiting_.data(), waiting_.size());
        waiting_ = std::string();
    }

    // The slice's final bytes at offset at; only a run that follows the last one counts.
    void TakeFinal(const char* bytes, uint32_t size, uint64_t at) {
        if (at != taken_) return;
        if (setId_)
            body_.Add(bytes, size);
        else
            waiting_.append(bytes, size);
        taken_ += size;
    }

    // The digest so far and how many of the slice's bytes it has, when the set's ID is the
    // one given (the set as it was described at the last piece's start).
    std::optional<std::pair<Md5, uint64_t>> Body(const Md5Digest& setId) const {
        if (!setId_ || *setId_ != setId) return std::nullopt;
        return std::make_pair(body_, taken_);
    }

  private:
    std::vector<Par2Piece> described_;
    const uint64_t sliceSize_;
    const uint64_t firstWanted_;
    Md5 body_;
    std::optional<Md5Digest> setId_;
    std::string waiting_;
    uint64_t taken_ = 0; // the slice's bytes given, from the first on
};

// The XOR of every piece so far, at the start of the slice's bytes in the work file: the
// bytes of a piece are XORed into what the earlier pieces left there, or written as they are
// beyond the longest of them. The piece's CRC-32, length and first bytes' MD5 go along.
class Parity : public FeedWork {
  public:
    // Without xor only the checksums and the length are taken: the slices are made later.
    Parity(WorkFile& file, uint32_t bufferSize, bool xored)
        : file_(file), scratch_(xored ? bufferSize : 0), xored_(xored) {}

    void Add(const char* bytes, uint32_t size, uint32_t) override {
        uint64_t at = pieceDone_;
        pieceDone_ += size;
        crc = Crc32Add(crc, bytes, size);
        if (at < Par2FirstBytes)
            first.Add(bytes, static_cast<size_t>(std::min<uint64_t>(size, Par2FirstBytes - at)));
        if (!xored_) {
            length = std::max(length, pieceDone_);
            return;
        }
        if (last) last->TakeFirst(first);
        while (size > 0 && !failed) {
            uint32_t run = size;
            if (at < length) {
                run =
                    static_cast<uint32_t>(std::min<uint64_t>({size, length - at, scratch_.size()}));
                char* mixed = scratch_.data();
                failed = !file_.ReadAt(kDataOffset + at, mixed, run);
                if (failed) return;
                for (uint32_t i = 0; i < run; ++i) mixed[i] ^= bytes[i];
                failed = !file_.WriteAt(kDataOffset + at, mixed, run);
                if (last) last->TakeFinal(mixed, run, at);
            } else {
                failed = !file_.WriteAt(kDataOffset + at, bytes, run);
                if (last) last->TakeFinal(bytes, run, at);
            }
            at += run;
            bytes += run;
            size -= run;
        }
        length = std::max(length, pieceDone_);
    }
    void NextPiece() {
        pieceDone_ = 0;
        crc = 0;
        first = Md5();
    }
    uint64_t PieceLength() const { return pieceDone_; }
    bool Xored() const { return xored_; }

    uint32_t crc = 0; // of the piece so far
    Md5 first;        // of the piece's first bytes so far
    bool failed = false;
    std::unique_ptr<LastPieceBody> last; // while the last piece is XORed in
    uint64_t length = 0;                 // of the longest piece so far

  private:
    WorkFile& file_;
    std::vector<char> scratch_;
    const bool xored_;
    uint64_t pieceDone_ = 0;
};

struct Ended {
    std::string name; // UTF-8
    Md5 whole;        // running, to be continued over the slice's padding
    Md5Digest first{};
    uint32_t crc = 0;
    uint64_t length = 0;
};

} // namespace

struct RecoveryWriter::State {
    State(const std::string& path, uint32_t count) : workPath(path), file(path), slices(count) {}
    std::string workPath;
    WorkFile file;
    uint32_t slices;
    uint64_t sliceSize = 0; // once complete
    std::unique_ptr<Parity> parity;
    int parityLane = -1;
    std::vector<Ended> pieces;
    uint64_t fileBytes = 0;
};

RecoveryWriter::RecoveryWriter(const std::string& workPath, uint32_t slices)
    : state_(std::make_unique<State>(workPath, std::max<uint32_t>(1, slices))) {}

RecoveryWriter::~RecoveryWriter() = default;

bool RecoveryWriter::Ready() const {
    return state_->file.IsOpen() && !(state_->parity && state_->parity->failed);
}

const std::string& RecoveryWriter::WorkPath() const { return state_->workPath; }

void RecoveryWriter::Start(HashFeed& feed, int parityLane) {
    State& s = *state_;
    s.parity = std::make_unique<Parity>(s.file, feed.BufferSize(), s.slices == 1);
    s.parityLane = parityLane;
    feed.Begin(parityLane, *s.parity);
}

void RecoveryWriter::EndPiece(HashFeed& feed, const std::string& pieceName, const Md5& whole) {
    State& s = *state_;
    if (!s.parity) return;
    // Until the lane has done the piece's buffers, its XOR and checksums are not complete.
    feed.Drain(s.parityLane);
    // An MD5 that missed bytes the lane had would describe another piece.
    if (whole.Length() != s.parity->PieceLength()) s.parity->failed = true;
    Ended piece;
    piece.name = Utf8FromCp1251(pieceName);
    piece.whole = whole;
    piece.first = s.parity->first.Finish();
    piece.crc = s.parity->crc;
    piece.length = s.parity->PieceLength();
    s.pieces.push_back(std::move(piece));
    s.parity->NextPiece();
}

void RecoveryWriter::ExpectLastPiece(const std::string& pieceName, uint64_t length,
                                     uint64_t sliceSize) {
    State& s = *state_;
    if (!s.parity || !s.parity->Xored()) return;
    std::vector<Par2Piece> described;
    for (const Ended& ended : s.pieces) {
        Par2Piece piece;
        piece.name = ended.name;
        piece.length = ended.length;
        piece.first = ended.first;
        described.push_back(std::move(piece));
    }
    Par2Piece last;
    last.name = Utf8FromCp1251(pieceName);
    last.length = length;
    described.push_back(std::move(last));
    // The lanes are drained between pieces: the parity lane's thread is idle.
    s.parity->last = std::make_unique<LastPieceBody>(std::move(described), sliceSize);
}

int64_t RecoveryWriter::Pieces() const { return static_cast<int64_t>(state_->pieces.size()); }

uint64_t RecoveryWriter::FileBytes() const { return state_->fileBytes; }

uint32_t RecoveryWriter::Slices() const { return state_->slices; }

uint64_t RecoveryWriter::RecoveryPacketBytes() const {
    return Par2RecoveryPacketSize(state_->sliceSize);
}

void RecoveryWriter::LimitSlices(uint32_t most) {
    state_->slices = std::clamp<uint32_t>(state_->slices, 1, std::max<uint32_t>(1, most));
}

namespace {

// What the packets say of each piece ended, in a set of that slice size.
std::vector<Par2Piece> Describe(const std::vector<Ended>& pieces, uint64_t slice) {
    std::vector<Par2Piece> described;
    described.reserve(pieces.size());
    for (const Ended& ended : pieces) {
        Par2Piece piece;
        piece.name = ended.name;
        piece.length = ended.length;
        piece.whole = ended.whole.Finish();
        piece.first = ended.first;
        Md5 padded = ended.whole;
        padded.AddZeros(slice - ended.length);
        piece.slice = padded.Finish();
        piece.sliceCrc = Crc32AddZeros(ended.crc, slice - ended.length);
        described.push_back(std::move(piece));
    }
    return described;
}

} // namespace

SlicesMade RecoveryWriter::Complete(const std::string& sourcePath,
                                    const std::function<bool(uint64_t done)>& keepGoing) {
    State& s = *state_;
    // The lane's XOR is the one slice already; a limited count of one is made like more.
    if (s.parity && s.parity->Xored()) return Complete() ? SlicesMade::Made : SlicesMade::Failed;
    if (!Ready() || !s.parity || s.pieces.empty()) return SlicesMade::Failed;
    const uint64_t slice = Par2SliceSize(s.parity->length);
    s.sliceSize = slice;
    const std::vector<Par2Piece> described = Describe(s.pieces, slice);
    const Par2Description set = DescribeSet(slice, described, RecoveryCreator);
    SliceInputs inputs;
    inputs.sourcePath = sourcePath;
    const std::vector<size_t> places = Par2MainPlaces(described);
    for (size_t i = 0; i < described.size(); ++i) {
        inputs.lengths.push_back(described[i].length);
        inputs.constants.push_back(Galois16::InputConstant(places[i]));
    }
    const SliceShape shape{s.slices, slice, set.setId};
    const SlicesMade made = MakeRecoverySlices(inputs, shape, s.file, keepGoing);
    if (made != SlicesMade::Made) return made;
    const uint64_t packets = s.slices * Par2RecoveryPacketSize(slice);
    if (!s.file.EndAt(packets) ||
        !s.file.WriteAt(packets, set.packets.data(), static_cast<uint32_t>(set.packets.size())) ||
        !s.file.Flush())
        return SlicesMade::Failed;
    s.fileBytes = packets + set.packets.size();
    return SlicesMade::Made;
}

bool RecoveryWriter::Complete() {
    State& s = *state_;
    if (!Ready() || !s.parity || s.pieces.empty() || !s.parity->Xored()) return false;
    const uint64_t slice = Par2SliceSize(s.parity->length);
    s.sliceSize = slice;
    // The slice is the XOR of the pieces zero-padded to its size: the bytes past the longest
    // piece are zeros.
    if (!s.file.EndAt(kDataOffset + slice)) return false;
    const std::vector<Par2Piece> described = Describe(s.pieces, slice);
    const Par2Description set = DescribeSet(slice, described, RecoveryCreator);
    // The slice's digest needs its final bytes: those not taken along with the last piece
    // are read back once, from the work file.
    Md5 body = RecoveryBodyDigest(set.setId);
    uint64_t from = 0;
    if (const auto taken = s.parity->last ? s.parity->last->Body(set.setId) : std::nullopt) {
        body = taken->first;
        from = std::min(taken->second, slice);
    }
    std::vector<char> run(1u << 16);
    for (uint64_t at = from; at < slice;) {
        const uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(run.size(), slice - at));
        if (!s.file.ReadAt(kDataOffset + at, run.data(), size)) return false;
        body.Add(run.data(), size);
        at += size;
    }
    const std::string head = RecoveryPacketHead(set.setId, slice, body.Finish());
    if (!s.file.WriteAt(0, head.data(), static_cast<uint32_t>(head.size())) ||
        !s.file.WriteAt(kDataOffset + slice, set.packets.data(),
                        static_cast<uint32_t>(set.packets.size())) ||
        !s.file.Flush())
        return false;
    s.fileBytes = kDataOffset + slice + set.packets.size();
    return true;
}

void RecoveryWriter::Close() { state_->file.Close(); }
