// The recovery file's arithmetic and packets: MD5 and CRC-32 against their published vectors,
// a digest continued over zeros, and packets written and read back (a file that fails any of
// its own checks describes nothing). Real repair tools read Varnok's files in par2_tool_tests,
// Par2ReaderTest reads theirs; Par2LimitsTest bounds what a crafted file costs.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/digest/Crc32.h"
#include "engine/digest/Md5.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Parse.h"

namespace {

std::string Hex(const Md5Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::string Md5Hex(const std::string& text) { return Hex(Md5Of(text.data(), text.size())); }

Par2Piece PieceOf(const std::string& name, const std::string& bytes, uint64_t sliceSize) {
    Par2Piece piece;
    piece.name = name;
    piece.length = bytes.size();
    piece.whole = Md5Of(bytes.data(), bytes.size());
    piece.first = Md5Of(bytes.data(), std::min<size_t>(bytes.size(), Par2FirstBytes));
    std::string padded = bytes;
    padded.resize(sliceSize, '\0');
    piece.slice = Md5Of(padded.data(), padded.size());
    piece.sliceCrc = Crc32Add(0, padded.data(), padded.size());
    return piece;
}

// A whole file: the recovery packet (here of a slice of made-up bytes) and the rest.
struct Written {
    Par2Description set;
    std::string recoveryData;
    std::string head;
};

Written WriteSet(uint64_t sliceSize, const std::vector<Par2Piece>& pieces) {
    Written w;
    w.set = DescribeSet(sliceSize, pieces, "Varnok test");
    w.recoveryData.assign(sliceSize, '\x5a');
    Md5 body = RecoveryBodyDigest(w.set.setId);
    body.Add(w.recoveryData.data(), w.recoveryData.size());
    w.head = RecoveryPacketHead(w.set.setId, sliceSize, body.Finish());
    return w;
}

// The set of a file that holds a usable recovery slice.
std::optional<Par2Reading::Set> ReadBack(const std::string& file) {
    Par2Reading reading = ParsePar2(file);
    return reading.verdict == Par2Verdict::Usable ? std::move(reading.set) : std::nullopt;
}

} // namespace

TEST(Digests, Md5AndCrc32GiveTheirPublishedValues) {
    // RFC 1321's test suite.
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234"
                     "567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // The check value of the zlib CRC-32, and of an empty run.
    EXPECT_EQ(Crc32Add(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Add(0, "", 0), 0u);
    EXPECT_EQ(Crc32Add(0, "The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
}

TEST(Digests, BytesAddedInAnyRunsAndDigestsContinuedOverZerosAgree) {
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7 + i / 300);
    const Md5Digest whole = Md5Of(bytes.data(), bytes.size());
    const uint32_t crc = Crc32Add(0, bytes.data(), bytes.size());
    for (size_t run : {1u, 3u, 63u, 64u, 65u, 4097u}) {
        SCOPED_TRACE(run);
        Md5 md5;
        uint32_t c = 0;
        for (size_t at = 0; at < bytes.size(); at += run) {
            const size_t n = std::min(run, bytes.size() - at);
            md5.Add(bytes.data() + at, n);
            c = Crc32Add(c, bytes.data() + at, n);
        }
        EXPECT_EQ(md5.Finish(), whole);
        EXPECT_EQ(c, crc);
    }
    // A copy of a running digest goes on over zeros while the original stays as it was.
    Md5 running;
    running.Add(bytes.data(), 777);
    Md5 padded = running;
    padded.AddZeros(70000);
    std::string withZeros = bytes.substr(0, 777) + std::string(70000, '\0');
    EXPECT_EQ(padded.Finish(), Md5Of(withZeros.data(), withZeros.size()));
    EXPECT_EQ(running.Finish(), Md5Of(bytes.data(), 777));
    EXPECT_EQ(Crc32AddZeros(Crc32Add(0, bytes.data(), 777), 70000),
              Crc32Add(0, withZeros.data(), withZeros.size()));
}

// Long runs are folded with carry-less multiplication where the processor has it: every length
// and alignment around the folding's steps (64 and 16 bytes) gives the table's CRC.
TEST(Digests, FoldedCrc32AgreesWithTheTableOnEveryLengthAndAlignment) {
    std::mt19937 random(11);
    std::string bytes(300000, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    int differing = 0;
    for (size_t length = 0; length <= 600; ++length)
        for (size_t offset = 0; offset < 16; offset += 5) {
            const uint32_t start = random();
            if (Crc32Add(start, bytes.data() + offset, length) !=
                Crc32AddByTable(start, bytes.data() + offset, length))
                ++differing;
        }
    for (size_t length : {4095u, 65536u, 262143u, 299990u})
        if (Crc32Add(0, bytes.data() + 3, length) != Crc32AddByTable(0, bytes.data() + 3, length))
            ++differing;
    EXPECT_EQ(differing, 0);
}

TEST(Par2Packets, ASetIsReadBackAsWrittenAndAnyFlippedByteUnmakesIt) {
    const std::string a(5000, 'a'), b(20000, 'b'), c(4998, 'c');
    const uint64_t slice = Par2SliceSize(20000);
    EXPECT_EQ(slice, 20000u);
    EXPECT_EQ(Par2SliceSize(4998), 5000u);
    EXPECT_EQ(Par2SliceSize(1), 4u);
    const std::vector<Par2Piece> pieces = {PieceOf("f_1.brf", a, slice),
                                           PieceOf("f_2.brf", b, slice),
                                           PieceOf("\xd1\x84_3.brf", c, slice)};
    const Written w = WriteSet(slice, pieces);
    // The recovery packet last here; any order of packets is a file.
    for (const std::string& file :
         {w.set.packets + w.head + w.recoveryData, w.head + w.recoveryData + w.set.packets}) {
        const std::optional<Par2Reading::Set> read = ReadBack(file);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->sliceSize, slice);
        ASSERT_EQ(read->slices.size(), 1u);
        EXPECT_EQ(read->slices[0].exponent, 0u);
        EXPECT_EQ(file.substr(read->slices[0].offset, slice), w.recoveryData);
        ASSERT_EQ(read->pieces.size(), 3u);
        // In the Main packet's order, sorted by file ID; each as it was described.
        for (const Par2Piece& want : pieces) {
            const auto got = std::find_if(read->pieces.begin(), read->pieces.end(),
                                          [&](const Par2Piece& p) { return p.name == want.name; });
            ASSERT_NE(got, read->pieces.end()) << want.name;
            EXPECT_EQ(got->length, want.length);
            EXPECT_EQ(got->whole, want.whole);
            EXPECT_EQ(got->slice, want.slice);
            EXPECT_EQ(got->sliceCrc, want.sliceCrc);
        }
    }
    const std::string file = w.head + w.recoveryData + w.set.packets;
    // Every byte is covered by a packet's digest or its header's form.
    for (size_t at = 0; at < file.size(); at += at < 200 || at > file.size() - 700 ? 1 : 331) {
        std::string flipped = file;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(ReadBack(flipped)) << "byte " << at;
    }
    // A flipped byte of the slice: the set is read, its slice passed over as damaged.
    std::string flipped = file;
    flipped[w.head.size() + 100] ^= 0x10;
    const Par2Reading reading = ParsePar2(flipped);
    EXPECT_EQ(reading.verdict, Par2Verdict::NoSlices);
    ASSERT_TRUE(reading.set);
    EXPECT_TRUE(reading.set->slices.empty());
    EXPECT_EQ(reading.set->damagedSlices, 1u);
}

TEST(Par2Packets, AFileMissingAPartOrMixingSetsDescribesNothing) {
    const uint64_t slice = 8;
    const std::vector<Par2Piece> pieces = {PieceOf("x_1.brf", "12345678", slice),
                                           PieceOf("x_2.brf", "1234", slice)};
    const Written w = WriteSet(slice, pieces);
    ASSERT_TRUE(ReadBack(w.head + w.recoveryData + w.set.packets));
    EXPECT_FALSE(ReadBack(w.set.packets)) << "no recovery slice";
    EXPECT_FALSE(ReadBack(w.head + w.recoveryData)) << "no Main packet";
    // A file description of another set's piece added: no longer one set.
    const Written other = WriteSet(slice, {PieceOf("y_1.brf", "abcdefgh", slice)});
    const size_t mainLength = 64 + 12 + 16 * 1;
    EXPECT_FALSE(ReadBack(w.head + w.recoveryData + w.set.packets +
                          other.set.packets.substr(mainLength, 64 + 56 + 8)));
    // A piece longer than the slice, its checksums of one slice: the packets disagree.
    const Written longer = WriteSet(8, {PieceOf("z_1.brf", "123456789", 16)});
    EXPECT_EQ(ParsePar2(longer.head + std::string(8, '\0') + longer.set.packets).verdict,
              Par2Verdict::Damaged);
}
