// SHA-256 on the processor's SHA extensions and through both of the system's ways to it, and
// the hashing threads fed by a copy.
#include "engine/digest/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "TestFiles.h"
#include "engine/digest/HashFeed.h"
#include "engine/digest/Md5.h"
#include "engine/digest/ShaInstructions.h"
#include "engine/system/ThreadSync.h"

namespace {

const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kMillionA = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

class EverySource : public ::testing::TestWithParam<Sha256Source> {};

// The system's two ways, and the processor's own where it has the instructions; a processor
// without them is said in the output, so that a run that did not try that path shows it.
std::vector<Sha256Source> Sources() {
    std::vector<Sha256Source> sources{Sha256Source::Cng, Sha256Source::CryptoApi};
    static bool told = false;
    if (HasShaInstructions())
        sources.push_back(Sha256Source::Processor);
    else if (!told)
        std::printf("NOTE: this processor has no SHA extensions: their SHA-256 is not run here\n");
    told = true;
    return sources;
}

} // namespace

TEST_P(EverySource, KnownDigestsInOneCallAndStreamed) {
    ASSERT_TRUE(HasSha256(GetParam()));
    EXPECT_EQ(Sha256Of("", 0, GetParam()), kEmpty);
    EXPECT_EQ(Sha256Of("abc", 3, GetParam()), kAbc);
    const std::string bits448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Of(bits448.data(), bits448.size(), GetParam()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string bits896 = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                                "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    EXPECT_EQ(Sha256Of(bits896.data(), bits896.size(), GetParam()),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(Sha256Of(million.data(), million.size(), GetParam()), kMillionA);
    // The same million in runs of every length from 1 up, as a copy hands them over.
    Sha256 streamed(GetParam());
    size_t at = 0;
    for (size_t run = 1; at < million.size(); ++run) {
        const size_t size = std::min(run, million.size() - at);
        streamed.Add(million.data() + at, size);
        at += size;
    }
    // A look at the digits on the way leaves the digest going on.
    EXPECT_EQ(streamed.Peek(), kMillionA);
    EXPECT_EQ(streamed.Peek(), kMillionA);
    EXPECT_EQ(streamed.Finish(), kMillionA);
    EXPECT_FALSE(streamed.Ready()) << "a finished digest is used up";
    EXPECT_EQ(streamed.Peek(), std::nullopt);
    Sha256 growing(GetParam());
    EXPECT_EQ(growing.Peek(), kEmpty);
    growing.Add("ab", 2);
    EXPECT_EQ(growing.Peek(), Sha256Of("ab", 2));
    growing.Add("c", 1);
    EXPECT_EQ(growing.Finish(), kAbc);
}

INSTANTIATE_TEST_SUITE_P(Sha256, EverySource, ::testing::ValuesIn(Sources()));

// Random bytes of every length up to 300 and around the block's and the copy buffer's edges,
// each fed to every digest in its own random slices, agree with CNG's digest in one call; an
// MD5 taken beside in the same pass agrees with MD5's own, also one that had other bytes first.
TEST(Sha256, EveryWayAgreesOnRandomLengthsFedInRandomSlices) {
    std::mt19937 random(20261209);
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 300; ++length) lengths.push_back(length);
    for (size_t edge : {size_t{512}, size_t{4096}, size_t{65536}, size_t{CopyBufferSize()}})
        for (size_t length = edge - 65; length <= edge + 65; ++length) lengths.push_back(length);
    std::string bytes;
    for (size_t length : lengths) {
        bytes.resize(length);
        for (char& byte : bytes) byte = static_cast<char>(random());
        const std::optional<std::string> expected =
            Sha256Of(bytes.data(), bytes.size(), Sha256Source::Cng);
        ASSERT_TRUE(expected);
        for (Sha256Source source : Sources()) {
            auto digest = std::make_unique<Sha256>(source);
            // The program's own digest also goes on in a fresh one from its saved state, at a
            // random point.
            const size_t savedAt = length == 0 ? 0 : random() % length;
            for (size_t at = 0; at < length;) {
                const size_t slice = std::min<size_t>(length - at, random() % 150);
                if (source == Sha256Source::Processor && at <= savedAt && at + slice > savedAt) {
                    const std::optional<std::string> state = digest->SavedState();
                    ASSERT_TRUE(state);
                    digest = std::make_unique<Sha256>(source);
                    ASSERT_TRUE(digest->ResumeFrom(*state));
                }
                digest->Add(bytes.data() + at, slice);
                at += slice;
            }
            ASSERT_EQ(digest->Finish(), expected)
                << "length " << length << ", source " << static_cast<int>(source);

            Sha256 withMd5(source);
            Md5 beside;
            const std::string before(random() % 2 ? 0 : random() % 70, 'b');
            beside.Add(before.data(), before.size());
            for (size_t at = 0; at < length;) {
                const size_t slice = std::min<size_t>(length - at, random() % 3000);
                withMd5.Add(bytes.data() + at, slice, beside);
                at += slice;
            }
            ASSERT_EQ(withMd5.Finish(), expected) << "beside an MD5, length " << length;
            const std::string all = before + bytes;
            ASSERT_EQ(beside.Finish(), Md5Of(all.data(), all.size()))
                << "length " << length << ", source " << static_cast<int>(source);
        }
    }
    // A SHA-256 that fails leaves the MD5 beside it every byte.
    const std::string some(300, 'm');
    FailSha256After(100);
    Sha256 failing;
    FailSha256After(std::nullopt);
    Md5 beside;
    failing.Add(some.data(), 64, beside);
    failing.Add(some.data() + 64, 236, beside);
    EXPECT_FALSE(failing.Ready());
    EXPECT_EQ(beside.Finish(), Md5Of(some.data(), some.size()));
}

// Two digests fed in one pass, each from its own place in a block, over the same bytes or bytes
// of its own, in random slices, agree with each fed alone; so do twins (both at the same place
// over the same bytes, hashed once), and a pair of which one is the system's or fails.
TEST(Sha256, TwoDigestsInOnePassAgreeWithEachAlone) {
    std::mt19937 random(20261210);
    std::string bytes(3 * CopyBufferSize() + 200, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    std::vector<Sha256Source> others{Sha256Source::Cng};
    if (HasShaInstructions()) others.push_back(Sha256Source::Processor);
    for (int round = 0; round < 300; ++round) {
        // Each begins with a lead of its own, 0 to 130 bytes, so that the blocks fall anywhere.
        const size_t lead = round % 3 == 0 ? 0 : random() % 131;
        const size_t otherLead = round % 3 == 0 ? 0 : random() % 131;
        // Every third round the second digest takes the same bytes as the first; the rest,
        // bytes further on.
        const bool same = round % 3 == 0 || round % 5 == 0;
        const size_t otherShift = same ? 0 : 1 + random() % 100;
        const size_t length = round < 250 ? random() % 700 : random() % (2 * CopyBufferSize());
        const Sha256Source otherSource = others[round % others.size()];
        Sha256 first, second(otherSource);
        first.Add(bytes.data() + 1000, lead);
        second.Add(bytes.data() + 2000, otherLead);
        for (size_t at = 0; at < length;) {
            const size_t slice = std::min<size_t>(length - at, random() % 3000);
            // The second's slice may be shorter, by up to two blocks.
            const size_t otherSlice =
                same ? slice : slice - std::min<size_t>(slice, random() % 130);
            first.AddBeside(bytes.data() + at, slice, second, bytes.data() + at + otherShift,
                            otherSlice);
            second.Add(bytes.data() + at + otherShift + otherSlice, slice - otherSlice);
            at += slice;
        }
        const std::string firstBytes = bytes.substr(1000, lead) + bytes.substr(0, length);
        const std::string secondBytes =
            bytes.substr(2000, otherLead) + bytes.substr(otherShift, length);
        ASSERT_EQ(first.Finish(), Sha256Of(firstBytes.data(), firstBytes.size()))
            << "round " << round << ", length " << length;
        ASSERT_EQ(second.Finish(), Sha256Of(secondBytes.data(), secondBytes.size()))
            << "round " << round << ", length " << length;
    }
    // Twins over bytes alike at another address are hashed once; a byte that differs, in the
    // vector compare's blocks or in its tail, parts them.
    std::string mirror = bytes;
    mirror[1000] ^= 1;
    mirror[1299] ^= 1;
    for (const size_t split : {size_t{900}, size_t{1200}}) {
        Sha256 left, right;
        left.AddBeside(bytes.data(), split, right, mirror.data(), split);
        left.AddBeside(bytes.data() + split, 300, right, mirror.data() + split, 300);
        left.AddBeside(bytes.data() + split + 300, 500, right, mirror.data() + split + 300, 500);
        EXPECT_EQ(left.Finish(), Sha256Of(bytes.data(), split + 800)) << split;
        EXPECT_EQ(right.Finish(), Sha256Of(mirror.data(), split + 800)) << split;
    }
    // Twins part as soon as one takes bytes of its own, and a failing digest takes nothing
    // from the other.
    Sha256 one, two;
    one.AddBeside(bytes.data(), 100, two, bytes.data(), 100);
    one.AddBeside(bytes.data() + 100, 100, two, bytes.data() + 500, 100);
    FailSha256After(150);
    Sha256 failing;
    FailSha256After(std::nullopt);
    Sha256 beside;
    failing.AddBeside(bytes.data(), 100, beside, bytes.data(), 100);
    failing.AddBeside(bytes.data() + 100, 100, beside, bytes.data() + 100, 100);
    EXPECT_FALSE(failing.Ready());
    const std::string twoBytes = bytes.substr(0, 100) + bytes.substr(500, 100);
    EXPECT_EQ(one.Finish(), Sha256Of(bytes.data(), 200));
    EXPECT_EQ(two.Finish(), Sha256Of(twoBytes.data(), twoBytes.size()));
    EXPECT_EQ(beside.Finish(), Sha256Of(bytes.data(), 200));
}

// Only the program's own digest gives its state, and only a state it gave is taken, by a
// fresh digest.
TEST(Sha256, SavedStatesAreTakenOnlyWhole) {
    EXPECT_FALSE(Sha256(Sha256Source::Cng).SavedState());
    EXPECT_FALSE(Sha256(Sha256Source::CryptoApi).SavedState());
    if (!HasShaInstructions()) return;
    Sha256 digest(Sha256Source::Processor);
    digest.Add("abcdefghij", 10);
    const std::string state = *digest.SavedState();
    std::string notHex = state, notDecimal = state;
    notHex[5] = 'G';
    notDecimal[0] = 'x';
    for (const std::string& bad : {std::string(), state.substr(0, state.size() - 2), state + "0",
                                   "9" + state, notDecimal, notHex}) {
        Sha256 fresh(Sha256Source::Processor);
        EXPECT_FALSE(fresh.ResumeFrom(bad)) << bad;
        EXPECT_EQ(fresh.Finish(), kEmpty) << "a refused state leaves the digest as it was";
    }
    EXPECT_FALSE(Sha256(Sha256Source::Cng).ResumeFrom(state));
    Sha256 begun(Sha256Source::Processor);
    begun.Add("a", 1);
    EXPECT_FALSE(begun.ResumeFrom(state)) << "only a fresh digest goes on from a state";
}

// The feed's threads meet through the system's slim lock and condition where it has them, and
// through the thread library's on Windows XP: every feed test runs on both.
class EveryLock : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        SetSlimSyncAllowed(GetParam());
        // Windows Vista and later, and Wine, have the slim ones.
        ASSERT_EQ(SlimSyncInUse(), GetParam());
    }
    void TearDown() override { SetSlimSyncAllowed(true); }
};

INSTANTIATE_TEST_SUITE_P(HashFeed, EveryLock, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Slim") : std::string("XpLibrary");
                         });

TEST_P(EveryLock, ACopyThroughTheFeedHashesWhatItWroteOnEveryLane) {
    TempFolder folder;
    const std::string bytes = PatternBytes(3000017, 5);
    WriteWholeFile(folder / "src.bin", bytes);
    const std::string whole = *Sha256Of(bytes.data(), bytes.size());
    // On a thread each, and on one thread that takes both digests of a buffer in one pass.
    for (const uint32_t sharing : {0u, 3u})
        for (uint32_t buffer : {997u, 65536u, 1u << 20}) {
            SCOPED_TRACE(buffer);
            SCOPED_TRACE(sharing);
            HashFeed feed(2, buffer, sharing);
            feed.Begin(1);
            ASSERT_TRUE(feed.Ready());
            FileStream source = OpenReadStream(folder / "src.bin");
            // As a split uses it: lane 1 sees the whole file and tells piece 1 on the way; lane 0
            // rests through piece 1 and begins anew at every later piece.
            const int64_t pieceSize = 1000003;
            for (int64_t start = 0; start < static_cast<int64_t>(bytes.size());
                 start += pieceSize) {
                FileStream piece = OpenWriteStream(folder / "piece");
                const int64_t size = std::min<int64_t>(pieceSize, bytes.size() - start);
                EXPECT_EQ(CopyStreamBytes(piece, source, size, nullptr, &feed).written, size);
                const std::string part = bytes.substr(start, size);
                EXPECT_EQ(start == 0 ? feed.Peek(1) : feed.Finish(0),
                          Sha256Of(part.data(), part.size()));
                feed.Begin(0);
            }
            EXPECT_EQ(feed.Finish(1), whole);
            EXPECT_EQ(feed.Peek(1), std::nullopt) << "a finished lane rests";
        }
}

TEST_P(EveryLock, EndsCleanlyWithBuffersStillQueuedAndNothingFinished) {
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", PatternBytes(1 << 20, 6));
    for (int round = 0; round < 20; ++round) {
        HashFeed feed(2, 4096);
        feed.Begin(0);
        feed.Begin(1);
        FileStream source = OpenReadStream(folder / "src.bin");
        FileStream target = OpenWriteStream(folder / "out.bin");
        // A copy stopped by its pace leaves the lanes with work; the feed goes at once.
        int paced = 0;
        PaceEveryBuffer pace;
        const CopyResult copied = CopyStreamBytes(
            target, source, 1 << 20, [&](int64_t) { return ++paced < 5 + round; }, &feed);
        EXPECT_TRUE(copied.stopped);
    }
    // Reaching here means every thread ended: a feed that hung would never return.
}

// A lane of the caller's own work gets every buffer in order while it is begun, and none
// while it rests; a SHA-256 lane beside it goes on as usual.
TEST_P(EveryLock, AWorkLaneSeesEveryBufferInOrderWhileBegun) {
    struct Gather : FeedWork {
        std::string bytes;
        void Add(const char* data, uint32_t size, uint32_t) override { bytes.append(data, size); }
    } gathered;
    TempFolder folder;
    const std::string bytes = PatternBytes(1000003, 7);
    WriteWholeFile(folder / "src.bin", bytes);
    // Both lanes on one thread: the work lane is no digest, so each buffer goes to each in turn.
    HashFeed feed(2, 4099, 3);
    ASSERT_TRUE(feed.Ready());
    ASSERT_TRUE(feed.Begin(0));
    feed.Begin(1, gathered);
    FileStream source = OpenReadStream(folder / "src.bin");
    FileStream target = OpenWriteStream(folder / "out.bin");
    EXPECT_EQ(CopyStreamBytes(target, source, 600000, nullptr, &feed).written, 600000);
    feed.Drain(1);
    EXPECT_TRUE(gathered.bytes == bytes.substr(0, 600000));
    feed.Rest(1);
    EXPECT_EQ(CopyStreamBytes(target, source, 400003, nullptr, &feed).written, 400003);
    feed.Drain(1);
    EXPECT_EQ(gathered.bytes.size(), 600000u) << "a resting lane takes nothing";
    EXPECT_EQ(feed.Finish(0), Sha256Of(bytes.data(), bytes.size()));
}

// As a resume reads a kept piece beside the source: the source's buffers go to every lane, the
// piece's to its lane alone with a tag, which takes only those. On one thread with the source's
// lane, the two digests are taken in one pass, and bytes the piece has alike with the source
// (handed beside them) once for both; each is the digest of its own bytes, whether the piece
// differs from the source from some byte on or ends early.
TEST_P(EveryLock, TaggedBuffersOfOneLaneGoBesideAnotherLanesOnOneThread) {
    struct TaggedDigest : FeedWork {
        Sha256 digest;
        int untagged = 0;
        void Add(const char* data, uint32_t size, uint32_t tag) override {
            if (tag == 7)
                digest.Add(data, size);
            else
                ++untagged;
        }
        bool Passes(uint32_t tag) const override { return tag != 7; }
        Sha256* DigestFor(uint32_t) override { return &digest; }
    };
    const std::string source = PatternBytes(700001, 8);
    std::string damaged = source.substr(0, 650003);
    damaged[300000] ^= 1;
    for (const uint32_t sharing : {0u, 3u})
        for (const bool beside : {false, true})
            for (const std::string& piece : {PatternBytes(650003, 9), damaged, source}) {
                SCOPED_TRACE(sharing);
                SCOPED_TRACE(beside);
                TaggedDigest tagged;
                HashFeed feed(2, 4096, sharing);
                ASSERT_TRUE(feed.Ready());
                ASSERT_TRUE(feed.Begin(0));
                feed.Begin(1, tagged);
                for (size_t at = 0; at < source.size(); at += 4096) {
                    const uint32_t size =
                        static_cast<uint32_t>(std::min<size_t>(4096, source.size() - at));
                    char* buffer = feed.TakeBuffer();
                    std::copy_n(source.data() + at, size, buffer);
                    if (at >= piece.size()) {
                        feed.Pass(buffer, size);
                        continue;
                    }
                    const uint32_t pieceSize =
                        static_cast<uint32_t>(std::min<size_t>(size, piece.size() - at));
                    char* own = feed.TakeBuffer();
                    std::copy_n(piece.data() + at, pieceSize, own);
                    if (beside) {
                        feed.PassBeside(buffer, size, own, pieceSize, 1, 7);
                    } else {
                        feed.Pass(buffer, size);
                        feed.PassTo(own, pieceSize, 1, 7);
                    }
                }
                EXPECT_EQ(feed.Finish(0), Sha256Of(source.data(), source.size()));
                feed.Drain(1);
                EXPECT_EQ(tagged.digest.Finish(), Sha256Of(piece.data(), piece.size()));
                EXPECT_EQ(tagged.untagged, 0) << "a lane is not handed what it passes";
            }
}
