// The recovery file's packets read and held to their form, and the set they describe gathered.
#include "engine/recovery/Par2Parse.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The bytes read at a time.
constexpr uint32_t kWindow = 64 * 1024;
constexpr size_t kIdSize = 16;
// The Main packet's body: the slice size and the file count, then each file's ID.
constexpr uint64_t kMainFixed = 12;
constexpr uint64_t kLongestMain = kMainFixed + kIdSize * Par2MostPieces;
// A File Description's body: the file's ID, two digests and the length, then the name.
constexpr uint64_t kDescriptionFixed = 3 * kIdSize + 8;
// A name of the longest kind: at most 4 bytes a character in UTF-8.
constexpr uint64_t kLongestDescription = kDescriptionFixed + 4 * Par2LongestName;
// A slice checksum packet's body: the file's ID, then an MD5 and a CRC-32 for each slice.
constexpr uint64_t kSumSize = kIdSize + 4;

// The characters of UTF-8 text: every byte that does not go on a character begun before.
size_t Characters(std::string_view text) {
    return static_cast<size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<uint8_t>(c) & 0xC0) != 0x80; }));
}

// The file seen through a window of bytes read ahead.
class Source {
  public:
    Source(uint64_t size, const Par2ReadAt& readAt, const std::function<bool()>& keepGoing)
        : size_(size), readAt_(readAt), keepGoing_(keepGoing),
          window_(static_cast<size_t>(std::min<uint64_t>(size, kWindow))) {}

    uint64_t Size() const { return size_; }
    bool Stopped() const { return stopped_; }

    // want bytes at at (want no more than the window), fewer only where the file ends; none
    // when they cannot be read or the reading is stopped.
    std::string_view At(uint64_t at, uint32_t want) {
        if (at >= size_) return {};
        const uint64_t end = std::min<uint64_t>(at + want, size_);
        if (at < start_ || end > start_ + filled_) {
            const auto fill = static_cast<uint32_t>(std::min<uint64_t>(window_.size(), size_ - at));
            filled_ = 0;
            if (!readAt_(at, window_.data(), fill)) return {};
            if (!keepGoing_()) {
                stopped_ = true;
                return {};
            }
            start_ = at;
            filled_ = fill;
        }
        const auto offset = static_cast<size_t>(at - start_);
        return std::string_view(window_.data() + offset,
                                static_cast<size_t>(std::min<uint64_t>(want, filled_ - offset)));
    }

    // Adds size bytes at at to digest, handing each run and its offset from at to each.
    template <typename Each> bool Stream(uint64_t at, uint64_t size, Md5& digest, Each each) {
        for (uint64_t done = 0; done < size;) {
            const std::string_view run =
                At(at + done, static_cast<uint32_t>(std::min<uint64_t>(size - done, kWindow)));
            if (run.empty()) return false;
            digest.Add(run.data(), run.size());
            each(run, done);
            done += run.size();
        }
        return true;
    }

  private:
    const uint64_t size_;
    const Par2ReadAt& readAt_;
    const std::function<bool()>& keepGoing_;
    std::vector<char> window_;
    uint64_t start_ = 0;
    uint32_t filled_ = 0;
    bool stopped_ = false;
};

// Whether a packet of that type may have a body of that size at all; a body that no file of a
// set has is refused before it is read.
bool Plausible(Par2Type type, uint64_t size) {
    switch (type) {
    case Par2Type::Main:
        return size <= kLongestMain;
    case Par2Type::FileDescription:
        return size >= kDescriptionFixed && size <= kLongestDescription;
    case Par2Type::SliceSums:
        return size >= kIdSize && (size - kIdSize) % kSumSize == 0;
    case Par2Type::Recovery:
        return size >= Par2ExponentSize;
    case Par2Type::Other:
        break;
    }
    return true;
}

// The bytes of a body kept once its digest is checked.
uint64_t KeptOf(Par2Type type, uint64_t size) {
    switch (type) {
    case Par2Type::Main:
    case Par2Type::FileDescription:
        return size;
    case Par2Type::SliceSums:
        return kIdSize + kSumSize; // the first slice's checksums: one slice per piece
    case Par2Type::Recovery:
        return Par2ExponentSize;
    case Par2Type::Other:
        break;
    }
    return 0;
}

class Reader {
  public:
    Reader(Source& source, Par2Scope scope) : source_(source), scope_(scope) {}
    Par2Reading Read();

  private:
    // A file the Main packet lists: its place there, and what the file says of it.
    struct Listed {
        Md5Digest id;
        uint32_t place = 0;
        int32_t described = -1; // into pieces_
        int32_t sums = -1;      // into sums_
    };
    // A slice checksum packet: the file's slices, and the first one's checksums.
    struct Sums {
        uint64_t count = 0;
        Md5Digest first{};
        uint32_t crc = 0;
    };

    std::optional<Par2Head> HeadAt(uint64_t at);
    bool FindMain();
    bool TakeMain(std::string body);
    bool ReadPacket(uint64_t at, const Par2Head& head);
    bool Describe(std::string_view body);
    bool TakeSums(std::string_view body, uint64_t count);
    Listed* Find(const Md5Digest& id);
    Par2Reading Result();

    Source& source_;
    const Par2Scope scope_;
    Md5Digest setId_{};
    std::string main_;
    uint64_t sliceSize_ = 0;
    uint32_t count_ = 0;
    std::vector<Listed> listed_; // by ID
    std::vector<Par2Piece> pieces_;
    std::vector<Sums> sums_;
    std::vector<Par2Slice> slices_; // as found; copies of an exponent go at the end
    uint32_t damagedSlices_ = 0;
    bool otherSliceSize_ = false;
};

std::optional<Par2Head> Reader::HeadAt(uint64_t at) {
    std::optional<Par2Head> head = ReadPar2Head(source_.At(at, Par2HeaderSize));
    if (head && head->length > source_.Size() - at) return std::nullopt;
    return head;
}

bool Reader::FindMain() {
    // Only the Main packet tells which files are of the set: it is found first, passing over
    // the other packets' bodies unread.
    for (uint64_t at = 0; at < source_.Size();) {
        const std::optional<Par2Head> head = HeadAt(at);
        if (!head) return false;
        const uint64_t size = head->length - Par2HeaderSize;
        if (TypeOfPacket(*head) == Par2Type::Main) {
            if (size > kLongestMain) return false;
            std::string body;
            Md5 digest = PacketDigest(*head);
            if (!source_.Stream(at + Par2HeaderSize, size, digest,
                                [&](std::string_view run, uint64_t) { body += run; }) ||
                digest.Finish() != head->digest)
                return false;
            setId_ = head->setId;
            return TakeMain(std::move(body));
        }
        at += head->length;
    }
    return false;
}

bool Reader::TakeMain(std::string body) {
    // The set's ID is the digest of the Main packet's body.
    if (Md5Of(body.data(), body.size()) != setId_ || body.size() < kMainFixed ||
        (body.size() - kMainFixed) % kIdSize != 0)
        return false;
    sliceSize_ = Par2Number(body, 0, 8);
    const uint64_t count = Par2Number(body, 8, 4);
    // The recovery set's files, then any others the set lists but does not cover.
    const uint64_t listed = (body.size() - kMainFixed) / kIdSize;
    if (sliceSize_ == 0 || sliceSize_ % 4 != 0 || count == 0 || count > listed) return false;
    listed_.reserve(static_cast<size_t>(listed));
    for (uint64_t i = 0; i < listed; ++i)
        listed_.push_back({Par2Digest(body, kMainFixed + kIdSize * i), static_cast<uint32_t>(i)});
    std::sort(listed_.begin(), listed_.end(),
              [](const Listed& a, const Listed& b) { return a.id < b.id; });
    const auto same = [](const Listed& a, const Listed& b) { return a.id == b.id; };
    if (std::adjacent_find(listed_.begin(), listed_.end(), same) != listed_.end()) return false;
    count_ = static_cast<uint32_t>(count);
    main_ = std::move(body);
    return true;
}

Reader::Listed* Reader::Find(const Md5Digest& id) {
    const auto file =
        std::lower_bound(listed_.begin(), listed_.end(), id,
                         [](const Listed& a, const Md5Digest& b) { return a.id < b; });
    return file != listed_.end() && file->id == id ? &*file : nullptr;
}

bool Reader::ReadPacket(uint64_t at, const Par2Head& head) {
    if (head.setId != setId_) return false; // a packet of another set
    const Par2Type type = TypeOfPacket(head);
    const uint64_t size = head.length - Par2HeaderSize;
    if (!Plausible(type, size)) return false;
    if (type == Par2Type::Recovery && scope_ == Par2Scope::Description) return true;
    const uint64_t keep = KeptOf(type, size);
    std::string kept;
    Md5 digest = PacketDigest(head);
    if (!source_.Stream(at + Par2HeaderSize, size, digest,
                        [&](std::string_view run, uint64_t offset) {
                            if (offset < keep)
                                kept += run.substr(0, static_cast<size_t>(keep - offset));
                        }))
        return false;
    if (digest.Finish() != head.digest) {
        // A damaged recovery slice is passed over: the others may still be enough.
        if (type != Par2Type::Recovery) return false;
        ++damagedSlices_;
        return true;
    }
    switch (type) {
    case Par2Type::Main:
        return kept == main_;
    case Par2Type::FileDescription:
        return Describe(kept);
    case Par2Type::SliceSums:
        return TakeSums(kept, (size - kIdSize) / kSumSize);
    case Par2Type::Recovery:
        otherSliceSize_ = otherSliceSize_ || size - Par2ExponentSize != sliceSize_;
        slices_.push_back({static_cast<uint32_t>(Par2Number(kept, 0, Par2ExponentSize)),
                           at + Par2HeaderSize + Par2ExponentSize});
        return true;
    case Par2Type::Other:
        break;
    }
    // The creator, and packets a newer tool may add, are passed over.
    return true;
}

bool Reader::Describe(std::string_view body) {
    Listed* file = Find(Par2Digest(body, 0));
    if (!file) return false; // a file the set does not list
    Par2Piece piece;
    piece.whole = Par2Digest(body, kIdSize);
    piece.first = Par2Digest(body, 2 * kIdSize);
    piece.length = Par2Number(body, 3 * kIdSize, 8);
    std::string_view name = body.substr(kDescriptionFixed);
    while (!name.empty() && name.back() == '\0') name.remove_suffix(1);
    if (Characters(name) > Par2LongestName) return false;
    piece.name = std::string(name);
    if (file->described >= 0) {
        // Volume files repeat the descriptions: a copy is passed over, but must say the same.
        const Par2Piece& kept = pieces_[static_cast<size_t>(file->described)];
        return kept.name == piece.name && kept.length == piece.length &&
               kept.whole == piece.whole && kept.first == piece.first;
    }
    if (Par2FileId(piece) != file->id) return false;
    file->described = static_cast<int32_t>(pieces_.size());
    pieces_.push_back(std::move(piece));
    return true;
}

bool Reader::TakeSums(std::string_view body, uint64_t count) {
    Listed* file = Find(Par2Digest(body, 0));
    if (!file) return false;
    Sums sums;
    sums.count = count;
    if (count > 0) {
        sums.first = Par2Digest(body, kIdSize);
        sums.crc = static_cast<uint32_t>(Par2Number(body, 2 * kIdSize, 4));
    }
    if (file->sums < 0) {
        file->sums = static_cast<int32_t>(sums_.size());
        sums_.push_back(sums);
        return true;
    }
    const Sums& kept = sums_[static_cast<size_t>(file->sums)];
    return kept.count == sums.count && kept.first == sums.first && kept.crc == sums.crc;
}

Par2Reading Reader::Result() {
    Par2Reading reading;
    Par2Reading::Set set;
    set.setId = setId_;
    set.sliceSize = sliceSize_;
    // Every file of the recovery set described, before room is made for them.
    for (const Listed& file : listed_)
        if (file.place < count_ && file.described < 0) return reading;
    set.pieces.resize(count_);
    bool severalSlices = false;
    for (const Listed& file : listed_) {
        if (file.place >= count_) continue; // listed, but outside the recovery set
        Par2Piece& piece = set.pieces[file.place];
        piece = pieces_[static_cast<size_t>(file.described)];
        const uint64_t slices = piece.length / sliceSize_ + (piece.length % sliceSize_ != 0);
        if (file.sums >= 0) {
            const Sums& sums = sums_[static_cast<size_t>(file.sums)];
            if (sums.count != slices) return reading;
            piece.slice = sums.first;
            piece.sliceCrc = sums.crc;
        }
        severalSlices = severalSlices || slices > 1;
    }
    if (severalSlices) {
        reading.verdict = Par2Verdict::SlicesPerPiece;
        return reading;
    }
    if (otherSliceSize_) return reading;
    // One slice of each exponent, the first found.
    std::stable_sort(slices_.begin(), slices_.end(), [](const Par2Slice& a, const Par2Slice& b) {
        return a.exponent < b.exponent;
    });
    const auto same = [](const Par2Slice& a, const Par2Slice& b) {
        return a.exponent == b.exponent;
    };
    slices_.erase(std::unique(slices_.begin(), slices_.end(), same), slices_.end());
    set.slices = std::move(slices_);
    set.damagedSlices = damagedSlices_;
    reading.verdict = set.slices.empty() ? Par2Verdict::NoSlices : Par2Verdict::Usable;
    reading.set = std::move(set);
    return reading;
}

Par2Reading Reader::Read() {
    bool read = FindMain();
    for (uint64_t at = 0; read && at < source_.Size();) {
        const std::optional<Par2Head> head = HeadAt(at);
        read = head && ReadPacket(at, *head);
        if (read) at += head->length;
    }
    if (read) return Result();
    Par2Reading reading;
    reading.verdict = source_.Stopped() ? Par2Verdict::Stopped : Par2Verdict::Damaged;
    return reading;
}

} // namespace

Par2Reading ParsePar2(uint64_t size, const Par2ReadAt& readAt,
                      const std::function<bool()>& keepGoing, Par2Scope scope) {
    Source source(size, readAt, keepGoing);
    return Reader(source, scope).Read();
}

Par2Reading ParsePar2(std::string_view bytes) {
    const Par2ReadAt readAt = [bytes](uint64_t at, char* into, uint32_t size) {
        if (at > bytes.size() || size > bytes.size() - at) return false;
        std::memcpy(into, bytes.data() + at, size);
        return true;
    };
    return ParsePar2(bytes.size(), readAt, [] { return true; });
}
