// What a recovery file costs the reader, made by hand to cost as much as it can: the heap at
// its peak, the bytes read and the time, whatever the file holds; the forms that make a file
// out of form (a name over the path limit, a file the Main packet does not list, two
// descriptions of one file that differ); and a whole file with several slices to a piece.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "HeapPeak.h"
#include "engine/digest/Md5.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Parse.h"

namespace {

std::string Le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Bytes(const Md5Digest& digest) {
    return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

std::string TypeOf(std::string_view word) {
    std::string type("PAR 2.0\0", 8);
    type += word;
    type.resize(16, '\0');
    return type;
}

// A packet's first bytes: its header and bodyStart, the body going on with fill bytes of
// fillByte (which the digest covers).
std::string PacketStart(const Md5Digest& setId, std::string_view word, const std::string& bodyStart,
                        uint64_t fill = 0, char fillByte = 0) {
    Md5 digest;
    digest.Add(setId.data(), setId.size());
    digest.Add(TypeOf(word).data(), 16);
    digest.Add(bodyStart.data(), bodyStart.size());
    const std::string run(64 * 1024, fillByte);
    for (uint64_t left = fill; left > 0;) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(left, run.size()));
        digest.Add(run.data(), take);
        left -= take;
    }
    return std::string("PAR2\0PKT", 8) + Le(64 + bodyStart.size() + fill, 8) +
           Bytes(digest.Finish()) + Bytes(setId) + TypeOf(word) + bodyStart;
}

std::string MainBody(uint64_t sliceSize, const std::vector<Md5Digest>& ids) {
    std::string body = Le(sliceSize, 8) + Le(ids.size(), 4);
    for (const Md5Digest& id : ids) body += Bytes(id);
    return body;
}

Md5Digest IdOf(const std::string& mainBody) { return Md5Of(mainBody.data(), mainBody.size()); }

Par2Piece PieceNamed(const std::string& name, uint64_t length) {
    Par2Piece piece;
    piece.name = name;
    piece.length = length;
    piece.whole = Md5Of(name.data(), name.size());
    piece.first = piece.whole;
    return piece;
}

// A File Description's body up to its name.
std::string DescriptionStart(const Par2Piece& piece) {
    return Bytes(Par2FileId(piece)) + Bytes(piece.whole) + Bytes(piece.first) + Le(piece.length, 8);
}

std::string Description(const Md5Digest& setId, const Par2Piece& piece) {
    std::string name = piece.name;
    name.resize((name.size() + 3) / 4 * 4, '\0');
    return PacketStart(setId, "FileDesc", DescriptionStart(piece) + name);
}

std::string Recovery(const Md5Digest& setId, uint64_t sliceSize) {
    return PacketStart(setId, "RecvSlic", Le(0, 4) + std::string(sliceSize, '\x33'));
}

// A file made of runs of one packet repeated, each packet its first bytes and then fill
// bytes of one value: gigabytes of it cost no memory. It counts the bytes read from it.
class MadeFile {
  public:
    void Add(std::string start, uint64_t times = 1, uint64_t fill = 0, char fillByte = 0) {
        runs_.push_back({std::move(start), fill, fillByte, times});
    }
    uint64_t Size() const {
        uint64_t size = 0;
        for (const Run& run : runs_) size += run.Packet() * run.times;
        return size;
    }
    bool ReadAt(uint64_t at, char* bytes, uint32_t size) {
        read += size;
        uint64_t runStart = 0;
        for (const Run& run : runs_) {
            const uint64_t runSize = run.Packet() * run.times;
            while (size > 0 && at < runStart + runSize) {
                const uint64_t offset = (at - runStart) % run.Packet();
                const uint64_t part = offset < run.start.size() ? run.start.size() : run.Packet();
                const auto take = static_cast<uint32_t>(std::min<uint64_t>(size, part - offset));
                if (offset < run.start.size())
                    std::memcpy(bytes, run.start.data() + offset, take);
                else
                    std::memset(bytes, run.fillByte, take);
                bytes += take;
                at += take;
                size -= take;
            }
            runStart += runSize;
        }
        return size == 0;
    }
    uint64_t read = 0;

  private:
    struct Run {
        std::string start;
        uint64_t fill;
        char fillByte;
        uint64_t times;
        uint64_t Packet() const { return start.size() + fill; }
    };
    std::vector<Run> runs_;
};

// What reading a made file gave, and what it cost.
struct Cost {
    Par2Verdict verdict = Par2Verdict::Damaged;
    size_t heap = 0;
    uint64_t read = 0;
    double seconds = 0;
};

Cost ReadMade(MadeFile& file, Par2Scope scope = Par2Scope::Whole) {
    Cost cost;
    const auto start = std::chrono::steady_clock::now();
    cost.heap = HeapPeakOf([&] {
        cost.verdict = ParsePar2(
                           file.Size(),
                           [&](uint64_t at, char* bytes, uint32_t size) {
                               return file.ReadAt(at, bytes, size);
                           },
                           [] { return true; }, scope)
                           .verdict;
    });
    cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cost.read = file.read;
    return cost;
}

// The whole of a set of two pieces but for its descriptions: Main, recovery slice.
struct TwoPieces {
    Par2Piece a = PieceNamed("film.avi_1.brf", 8), b = PieceNamed("film.avi_2.brf", 5);
    std::string main = MainBody(8, {Par2FileId(a), Par2FileId(b)});
    Md5Digest setId = IdOf(main);
    std::string Head() const { return PacketStart(setId, "Main", main) + Recovery(setId, 8); }
    std::string Whole() const { return Head() + Description(setId, a) + Description(setId, b); }
};

// The reader's window of bytes, 64 KiB, and a little: what a set of a few pieces takes.
constexpr size_t kSmallHeap = 128 * 1024;

} // namespace

// 120 descriptions of 16 MiB, the kind that took the whole address space: each is refused by
// its size before its body is read, whether the Main packet lists its file or not.
TEST(Par2Limits, DescriptionsOfHugeNamesAreRefusedUnread) {
    const uint64_t nameSize = (16u << 20) - 56;
    Par2Piece huge = PieceNamed(std::string(static_cast<size_t>(nameSize), 'n'), 8);
    const std::string main = MainBody(8, {Par2FileId(huge)});
    const Md5Digest setId = IdOf(main);
    MadeFile file;
    file.Add(PacketStart(setId, "FileDesc", DescriptionStart(huge), nameSize, 'n'), 120, nameSize,
             'n');
    file.Add(PacketStart(setId, "Main", main) + Recovery(setId, 8));
    ASSERT_GT(file.Size(), 120 * nameSize);
    const Cost cost = ReadMade(file);
    EXPECT_EQ(cost.verdict, Par2Verdict::Damaged);
    EXPECT_LT(cost.heap, kSmallHeap);
    // The Main packet is looked for header by header: a window read at each.
    EXPECT_LT(cost.read, 130u * 64 * 1024);
}

// A million descriptions of a file the Main packet does not list, before the Main packet or
// after it: refused at once, in a pass over the file. Copies of a listed file's description
// cost no more: they say what it says, and are passed over.
TEST(Par2Limits, AMillionDescriptionsCostAPassOverTheFile) {
    const TwoPieces set;
    const std::string stray = Description(set.setId, PieceNamed("other_1.brf", 8));
    const std::string copy = Description(set.setId, set.a);
    struct Case {
        const char* what;
        bool before;
        const std::string& packet;
        uint64_t times;
        Par2Verdict verdict;
    };
    for (const Case& c : {Case{"strays after", false, stray, 1000000, Par2Verdict::Damaged},
                          Case{"strays before", true, stray, 1000000, Par2Verdict::Damaged},
                          Case{"copies before", true, copy, 250000, Par2Verdict::Usable}}) {
        SCOPED_TRACE(c.what);
        MadeFile file;
        if (c.before) file.Add(c.packet, c.times);
        file.Add(set.Whole());
        if (!c.before) file.Add(c.packet, c.times);
        const Cost cost = ReadMade(file);
        EXPECT_EQ(cost.verdict, c.verdict);
        EXPECT_LT(cost.heap, kSmallHeap);
        // Each byte twice at most, and a packet's worth again where a window ends.
        EXPECT_LE(cost.read, 2 * file.Size() + file.Size() / 256);
        // Minutes before; now about a second under the sanitizers.
        EXPECT_LT(cost.seconds, 30);
    }
}

// The forms that make a file out of form, each beside the same file without it.
TEST(Par2Limits, NamesOverThePathLimitAndFilesTheSetDoesNotListAreOutOfForm) {
    const TwoPieces set;
    EXPECT_EQ(ParsePar2(set.Whole()).verdict, Par2Verdict::Usable);
    // 260 characters, two bytes each in UTF-8, are a name; 261 are not.
    std::string cyrillic;
    for (int i = 0; i < 260; ++i) cyrillic += "\xd1\x84";
    for (const auto& [name, verdict] :
         {std::pair{cyrillic, Par2Verdict::Usable}, std::pair{cyrillic + "a", Par2Verdict::Damaged},
          std::pair{std::string(261, 'a'), Par2Verdict::Damaged}}) {
        const Par2Piece piece = PieceNamed(name, 8);
        const std::string main = MainBody(8, {Par2FileId(piece)});
        const Md5Digest id = IdOf(main);
        const std::string file =
            PacketStart(id, "Main", main) + Description(id, piece) + Recovery(id, 8);
        const Par2Reading read = ParsePar2(file);
        EXPECT_EQ(read.verdict, verdict) << name.size();
        if (read.set) {
            EXPECT_EQ(read.set->pieces.at(0).name, name);
        }
    }
    // A description of a file the Main packet does not list: one more than it lists.
    EXPECT_EQ(
        ParsePar2(set.Whole() + Description(set.setId, PieceNamed("film.avi_3.brf", 8))).verdict,
        Par2Verdict::Damaged);
    // A second description of a listed file that says otherwise of it.
    Par2Piece changed = set.a;
    changed.whole[0] ^= 1;
    EXPECT_EQ(ParsePar2(set.Whole() + Description(set.setId, changed)).verdict,
              Par2Verdict::Damaged);
    // A description whose file ID is not of its name, length and first bytes.
    std::string wrongId = DescriptionStart(set.b) + "film.avi_3.brf";
    wrongId.resize((wrongId.size() + 3) / 4 * 4, '\0');
    EXPECT_EQ(ParsePar2(set.Head() + Description(set.setId, set.a) +
                        PacketStart(set.setId, "FileDesc", wrongId))
                  .verdict,
              Par2Verdict::Damaged);
    // Slice checksums of an unlisted file, and of two slices for a piece of one.
    const std::string sum = Bytes(Md5Digest{}) + Le(0, 4);
    EXPECT_EQ(
        ParsePar2(set.Whole() + PacketStart(set.setId, "IFSC", Bytes(Md5Digest{}) + sum)).verdict,
        Par2Verdict::Damaged);
    EXPECT_EQ(ParsePar2(set.Whole() +
                        PacketStart(set.setId, "IFSC", Bytes(Par2FileId(set.a)) + sum + sum))
                  .verdict,
              Par2Verdict::Damaged);
    EXPECT_EQ(
        ParsePar2(set.Whole() + PacketStart(set.setId, "IFSC", Bytes(Par2FileId(set.a)) + sum))
            .verdict,
        Par2Verdict::Usable);
    // A piece of 9 bytes in slices of 8, the checksums of its two slices beside it: a whole
    // file of another layout, told apart from a damaged one.
    const Par2Piece nine = PieceNamed("x_1.brf", 9);
    const std::string main = MainBody(8, {Par2FileId(nine)});
    const Md5Digest id = IdOf(main);
    const std::string layout = PacketStart(id, "Main", main) + Description(id, nine) +
                               PacketStart(id, "IFSC", Bytes(Par2FileId(nine)) + sum + sum);
    EXPECT_EQ(ParsePar2(layout).verdict, Par2Verdict::SlicesPerPiece);
    EXPECT_EQ(ParsePar2(layout + Recovery(id, 8)).verdict, Par2Verdict::SlicesPerPiece);
}

// The Main packet's own limits: at most 32,768 files, each once, a slice size a multiple of 4;
// the heap a file of the most files takes is of the order of the file.
TEST(Par2Limits, AMainPacketBeyondTheFormatsLimitsIsOutOfForm) {
    std::vector<Par2Piece> pieces;
    std::vector<Md5Digest> ids;
    for (int64_t k = 1; k <= Par2MostPieces + 1; ++k) {
        pieces.push_back(PieceNamed("f_" + std::to_string(k), 4));
        ids.push_back(Par2FileId(pieces.back()));
    }
    // A file of the first n pieces, its Main packet listing the first listed IDs (or these
    // IDs) and saying count.
    const auto fileOf = [&](uint64_t sliceSize, size_t n, size_t listed, uint64_t count,
                            std::vector<Md5Digest> these = {}) {
        if (these.empty()) these.assign(ids.begin(), ids.begin() + static_cast<ptrdiff_t>(listed));
        std::string main = MainBody(sliceSize, these);
        main.replace(8, 4, Le(count, 4));
        const Md5Digest id = IdOf(main);
        std::string file = PacketStart(id, "Main", main) + Recovery(id, sliceSize);
        for (size_t i = 0; i < n; ++i) file += Description(id, pieces[i]);
        return file;
    };
    const size_t most = static_cast<size_t>(Par2MostPieces);
    const std::string largest = fileOf(4, most, most, most);
    size_t heap = HeapPeakOf([&] { EXPECT_EQ(ParsePar2(largest).verdict, Par2Verdict::Usable); });
    EXPECT_LT(heap, 4 * largest.size());
    EXPECT_EQ(ParsePar2(fileOf(4, most + 1, most + 1, most + 1)).verdict, Par2Verdict::Damaged);
    EXPECT_EQ(ParsePar2(fileOf(8, 1, 1, 1)).verdict, Par2Verdict::Usable);
    // A second file listed beyond the count is outside the recovery set: no need of it.
    EXPECT_EQ(ParsePar2(fileOf(8, 1, 2, 1)).verdict, Par2Verdict::Usable);
    EXPECT_EQ(ParsePar2(fileOf(8, 1, 1, 2)).verdict, Par2Verdict::Damaged);
    EXPECT_EQ(ParsePar2(fileOf(8, 1, 1, 0)).verdict, Par2Verdict::Damaged);
    EXPECT_EQ(ParsePar2(fileOf(6, 1, 1, 1)).verdict, Par2Verdict::Damaged);
    EXPECT_EQ(ParsePar2(fileOf(8, 1, 2, 2, {ids[0], ids[0]})).verdict, Par2Verdict::Damaged);
}

// A volume of a set on disks, its slice as large as a disk: whose set it is, the description
// alone tells, read without the slice's bytes; read whole, the slice is read and checked.
TEST(Par2Limits, TheDescriptionAloneIsReadWithoutTheSlicesBytes) {
    const Par2Piece a = PieceNamed("film.avi_1.brf", 8), b = PieceNamed("film.avi_2.brf", 5);
    constexpr uint64_t slice = 256u << 20;
    const std::string main = MainBody(slice, {Par2FileId(a), Par2FileId(b)});
    const Md5Digest setId = IdOf(main);
    const std::string described =
        PacketStart(setId, "Main", main) + Description(setId, a) + Description(setId, b);
    MadeFile volume;
    volume.Add(PacketStart(setId, "RecvSlic", Le(0, 4), slice, '\x33'), 1, slice, '\x33');
    volume.Add(described);
    const Cost alone = ReadMade(volume, Par2Scope::Description);
    EXPECT_EQ(alone.verdict, Par2Verdict::NoSlices);
    EXPECT_LT(alone.read, 1u << 20) << "the slice's bytes are not read";
    const Cost whole = ReadMade(volume);
    EXPECT_EQ(whole.verdict, Par2Verdict::Usable);
    EXPECT_GE(whole.read, slice);
    // A description that fails its digest still fails without the slice read.
    std::string broken = described;
    broken[broken.size() - 3] ^= 1;
    MadeFile damaged;
    damaged.Add(PacketStart(setId, "RecvSlic", Le(0, 4), slice, '\x33'), 1, slice, '\x33');
    damaged.Add(broken);
    EXPECT_EQ(ReadMade(damaged, Par2Scope::Description).verdict, Par2Verdict::Damaged);
}
