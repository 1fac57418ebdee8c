// The system's SHA-256 through both ways to it, and the hashing threads fed by a copy.
#include "engine/Sha256.h"

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/HashFeed.h"

namespace {

const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kMillionA = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

class BothSources : public ::testing::TestWithParam<Sha256Source> {};

} // namespace

TEST_P(BothSources, KnownDigestsInOneCallAndStreamed) {
    ASSERT_TRUE(HasSha256(GetParam()));
    EXPECT_EQ(Sha256Of("", 0, GetParam()), kEmpty);
    EXPECT_EQ(Sha256Of("abc", 3, GetParam()), kAbc);
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

INSTANTIATE_TEST_SUITE_P(Sha256, BothSources,
                         ::testing::Values(Sha256Source::Cng, Sha256Source::CryptoApi));

TEST(HashFeed, ACopyThroughTheFeedHashesWhatItWroteOnEveryLane) {
    TempFolder folder;
    const std::string bytes = PatternBytes(3000017, 5);
    WriteWholeFile(folder / "src.bin", bytes);
    const std::string whole = *Sha256Of(bytes.data(), bytes.size());
    for (uint32_t buffer : {997u, 65536u, 1u << 20}) {
        SCOPED_TRACE(buffer);
        HashFeed feed(2, buffer);
        feed.Begin(1);
        ASSERT_TRUE(feed.Ready());
        FileStream source = OpenReadStream(folder / "src.bin");
        // As a split uses it: lane 1 sees the whole file and tells piece 1 on the way; lane 0
        // rests through piece 1 and begins anew at every later piece.
        const int64_t pieceSize = 1000003;
        for (int64_t start = 0; start < static_cast<int64_t>(bytes.size()); start += pieceSize) {
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

TEST(HashFeed, EndsCleanlyWithBuffersStillQueuedAndNothingFinished) {
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
