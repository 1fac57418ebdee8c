// The rebuild's mix: the other pieces read in groups, hashed, and multiplied into the lost pieces'
// files.
#include "engine/recovery/RebuildMix.h"

#include <algorithm>
#include <cstring>

#include "engine/digest/HashFeed.h"
#include "engine/digest/Sha256.h"
#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Kernel.h"
#include "engine/system/FileServices.h"

namespace {

// The most pieces read side by side; a larger set is read that many at a time, each group
// mixed into what the groups before it left in the rebuilt pieces' files.
constexpr size_t kPiecesAtOnce = 32;
// The columns of the k remainders and the k rebuilt pieces together: memory bound whatever k.
constexpr uint64_t kColumnsBytes = 16u << 20;

// The other pieces' digests on one lane of the feed: the reader tags each buffer with the
// piece it is of.
class PieceDigests : public FeedWork {
  public:
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
    bool fits = false; // of the length the recovery file gives, and so mixed in
    bool cutShort = false;
    bool checked = false; // against its line before: read into the mixer's own buffer
    int lane = 0;
    uint32_t tag = 0; // its digest's place on its lane

    bool More() const { return done < size && !cutShort; }
};

// Rests the feed's two lanes on every way out, so that no lane still works for digests that go.
struct LanesAtRest {
    HashFeed& feed;
    ~LanesAtRest() {
        feed.Rest(0);
        feed.Rest(1);
    }
};

uint32_t Even(uint32_t bytes) { return bytes + (bytes & 1); }

class Mixer {
  public:
    Mixer(const MixPlan& plan, std::vector<std::unique_ptr<WorkFile>>& files,
          const std::vector<std::string>& paths, MixContext& context);
    bool Run(std::vector<MixFault>& faults, bool& otherLengths);

  private:
    bool Group(size_t first, size_t last, std::vector<MixFault>& faults, bool& otherLengths);
    std::vector<OtherPiece> OpenGroup(size_t first, size_t last, std::vector<MixFault>& faults);
    bool ReadColumn(std::vector<OtherPiece>& pieces, uint64_t at, uint32_t here);
    bool LoadColumn(bool firstGroup, uint64_t at, uint32_t here);
    bool StoreColumn(bool lastGroup, uint64_t at, uint32_t here);
    bool CheckGroup(const std::vector<OtherPiece>& pieces, PieceDigests (&lanes)[2],
                    std::vector<MixFault>& faults, bool& otherLengths);
    uint8_t* Remainder(size_t l) { return remainders_.data() + l * width_; }
    uint8_t* Solved(size_t j) { return solved_.data() + j * width_; }

    const MixPlan& plan_;
    std::vector<std::unique_ptr<WorkFile>>& files_;
    const std::vector<std::string>& paths_;
    MixContext& context_;
    const size_t k_;
    uint64_t span_ = 0; // the longest faulty piece: the columns' reach
    uint32_t width_ = 0;
    HashFeed feed_;
    std::vector<FileStream> slices_;
    std::vector<uint8_t> remainders_, solved_;
    std::vector<char> unhashed_; // a column of a piece checked before
    std::vector<int64_t> others_;
    std::vector<uint8_t*> dsts_;
    std::vector<uint16_t> factors_;
    bool lastGroup_ = false;
};

Mixer::Mixer(const MixPlan& plan, std::vector<std::unique_ptr<WorkFile>>& files,
             const std::vector<std::string>& paths, MixContext& context)
    : plan_(plan), files_(files), paths_(paths), context_(context), k_(plan.faulty.size()),
      feed_(2, CopyBufferSize()), dsts_(plan.faulty.size()), factors_(plan.faulty.size()) {
    for (const int64_t n : plan.faulty) span_ = std::max(span_, plan.lengths[n - 1]);
    const uint64_t fit = kColumnsBytes / (2 * std::max<size_t>(1, k_)) / 4 * 4;
    width_ = static_cast<uint32_t>(
        std::max<uint64_t>(4, std::min<uint64_t>(fit, feed_.BufferSize() / 4 * 4)));
    // A whole word past an odd column's end, as in the feed's buffers.
    unhashed_.resize(width_ + 4);
    for (int64_t n = 1; n <= static_cast<int64_t>(plan.lengths.size()); ++n)
        if (std::find(plan.faulty.begin(), plan.faulty.end(), n) == plan.faulty.end())
            others_.push_back(n);
}

bool Mixer::Run(std::vector<MixFault>& faults, bool& otherLengths) {
    if (!feed_.Ready()) {
        context_.hooks.ShowMessage(
            "Невозможно вычислить сумму SHA-256 файла " +
            context_.sourceOf(others_.empty() ? plan_.faulty[0] : others_[0]).path + "!");
        return false;
    }
    remainders_.assign(k_ * width_, 0);
    solved_.assign(k_ * width_, 0);
    for (const FoundSlice& slice : plan_.slices) {
        slices_.push_back(OpenReadStream(slice.path));
        const int64_t offset = static_cast<int64_t>(slice.offset);
        if (slices_.back().Seek(offset, SeekOrigin::FromBeginning) != offset) {
            context_.hooks.ShowMessage("Невозможно прочитать файл " + slice.path + " полностью!");
            return false;
        }
    }
    // A set of faulty pieces alone has no other: the slices are the sums of them.
    for (size_t first = 0; first == 0 || first < others_.size(); first += kPiecesAtOnce) {
        const size_t last = std::min(others_.size(), first + kPiecesAtOnce);
        lastGroup_ = last == others_.size();
        if (!Group(first, last, faults, otherLengths)) return false;
    }
    for (size_t j = 0; j < k_; ++j)
        if (!files_[j]->EndAt(plan_.lengths[plan_.faulty[j] - 1])) {
            context_.hooks.ShowMessage("Невозможно записать файл " + paths_[j] + " полностью!");
            return false;
        }
    return true;
}

std::vector<OtherPiece> Mixer::OpenGroup(size_t first, size_t last, std::vector<MixFault>& faults) {
    std::vector<OtherPiece> pieces;
    for (size_t i = first; i < last; ++i) {
        const int64_t n = others_[i];
        const PieceSource source = context_.sourceOf(n);
        FileStream stream = OpenReadStream(source.path);
        const bool placed = source.offset == 0 ||
                            stream.Seek(source.offset, SeekOrigin::FromBeginning) == source.offset;
        if (!stream.IsOpen() || !placed) {
            faults.push_back({n, !IsExistingFile(source.path)});
            continue;
        }
        OtherPiece piece;
        piece.number = n;
        piece.size = source.length >= 0 ? source.length : stream.Size();
        piece.stream = std::move(stream);
        // A piece of another length is read all the same: its digest tells whether the piece
        // or the recovery file is at fault.
        piece.fits = piece.size == static_cast<int64_t>(plan_.lengths[n - 1]);
        piece.checked = source.checked;
        piece.lane = static_cast<int>(pieces.size() % 2);
        piece.tag = static_cast<uint32_t>(pieces.size() / 2);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

bool Mixer::Group(size_t first, size_t last, std::vector<MixFault>& faults, bool& otherLengths) {
    // Column by column: the remainders there so far (the slices' bytes, for the first group),
    // every piece's share there taken away, and the result written once; each piece is hashed
    // on a lane of the feed as it is read. The lanes rest, on every way out, before the
    // group's digests go.
    std::vector<OtherPiece> pieces = OpenGroup(first, last, faults);
    PieceDigests lanes[2] = {PieceDigests((pieces.size() + 1) / 2),
                             PieceDigests(pieces.size() / 2)};
    const LanesAtRest rest{feed_};
    feed_.Begin(0, lanes[0]);
    feed_.Begin(1, lanes[1]);
    for (uint64_t at = 0;; at += width_) {
        if (!context_.keepGoing()) return false;
        const uint32_t here =
            at < span_ ? static_cast<uint32_t>(std::min<uint64_t>(width_, span_ - at)) : 0;
        if (here > 0 && !LoadColumn(first == 0, at, here)) return false;
        const bool more = ReadColumn(pieces, at, here);
        if (here > 0 && !StoreColumn(lastGroup_, at, here)) return false;
        if (!more) break;
    }
    feed_.Rest(0);
    feed_.Rest(1);
    return CheckGroup(pieces, lanes, faults, otherLengths);
}

// Reads the column at `at` of every piece still read and takes its share from the remainders;
// false once no piece has more and the column was the last.
bool Mixer::ReadColumn(std::vector<OtherPiece>& pieces, uint64_t at, uint32_t here) {
    bool more = false;
    for (OtherPiece& piece : pieces) {
        if (!piece.More()) continue;
        char* buffer = piece.checked ? unhashed_.data() : feed_.TakeBuffer();
        const uint32_t want =
            static_cast<uint32_t>(std::min<int64_t>(piece.size - piece.done, width_));
        const uint32_t got = piece.stream.Read(buffer, want);
        const uint32_t mixed = piece.fits && here > 0 ? std::min(got, here) : 0;
        if (mixed > 0) {
            // A piece of an odd length ends in half a word: its other byte is padding.
            if (mixed == got && got % 2 != 0) buffer[got] = '\0';
            const uint16_t constant = plan_.constants[piece.number - 1];
            for (size_t l = 0; l < k_; ++l) {
                dsts_[l] = Remainder(l);
                factors_[l] = Galois16::Power(constant, plan_.slices[l].exponent);
            }
            MultiplyAddMany(dsts_.data(), factors_.data(), k_,
                            reinterpret_cast<const uint8_t*>(buffer), Even(mixed));
        }
        if (!piece.checked) feed_.PassTo(buffer, got, piece.lane, piece.tag);
        piece.done += got;
        piece.cutShort = got < want;
        more = more || piece.More();
    }
    return more || at + width_ < span_;
}

bool Mixer::LoadColumn(bool firstGroup, uint64_t at, uint32_t here) {
    // Whole words: the last one's second byte is a product's too, past an odd span.
    const uint32_t words = Even(here);
    for (size_t l = 0; l < k_; ++l) {
        std::memset(Remainder(l) + words, 0, width_ - words);
        const bool read = firstGroup ? slices_[l].Read(Remainder(l), words) == words
                                     : files_[l]->ReadAt(at, Remainder(l), words);
        if (!read) {
            context_.hooks.ShowMessage("Невозможно прочитать файл " +
                                       (firstGroup ? plan_.slices[l].path : paths_[l]) +
                                       " полностью!");
            return false;
        }
    }
    return true;
}

// Writes the remainders back for the next group, or, after the last, the pieces they give.
bool Mixer::StoreColumn(bool lastGroup, uint64_t at, uint32_t here) {
    if (lastGroup) {
        std::fill(solved_.begin(), solved_.end(), 0);
        for (size_t l = 0; l < k_; ++l) {
            for (size_t j = 0; j < k_; ++j) {
                dsts_[j] = Solved(j);
                factors_[j] = plan_.inverse[j * k_ + l];
            }
            MultiplyAddMany(dsts_.data(), factors_.data(), k_, Remainder(l), Even(here));
        }
    }
    for (size_t j = 0; j < k_; ++j) {
        // The remainders in whole words; each rebuilt piece to its own length.
        const uint64_t length = plan_.lengths[plan_.faulty[j] - 1];
        if (lastGroup && at >= length) continue;
        const uint32_t bytes =
            lastGroup ? static_cast<uint32_t>(std::min<uint64_t>(here, length - at)) : Even(here);
        if (!files_[j]->WriteAt(at, lastGroup ? Solved(j) : Remainder(j), bytes)) {
            context_.hooks.ShowMessage("Невозможно записать файл " + paths_[j] + " полностью!");
            return false;
        }
    }
    return true;
}

bool Mixer::CheckGroup(const std::vector<OtherPiece>& pieces, PieceDigests (&lanes)[2],
                       std::vector<MixFault>& faults, bool& otherLengths) {
    for (const OtherPiece& piece : pieces) {
        if (piece.checked) {
            if (piece.cutShort) faults.push_back({piece.number, false});
            otherLengths = otherLengths || (!piece.cutShort && !piece.fits);
            continue;
        }
        const std::optional<std::string> digits = lanes[piece.lane].digests[piece.tag]->Finish();
        if (!digits) {
            context_.hooks.ShowMessage("Невозможно вычислить сумму SHA-256 файла " +
                                       context_.sourceOf(piece.number).path + "!");
            return false;
        }
        const bool intact = !piece.cutShort && *digits == context_.check.digits[piece.number - 1];
        if (!intact) faults.push_back({piece.number, false});
        otherLengths = otherLengths || (intact && !piece.fits);
    }
    return true;
}

} // namespace

bool MixPieces(const MixPlan& plan, std::vector<std::unique_ptr<WorkFile>>& files,
               const std::vector<std::string>& paths, MixContext& context,
               std::vector<MixFault>& faults, bool& otherLengths) {
    return Mixer(plan, files, paths, context).Run(faults, otherLengths);
}
