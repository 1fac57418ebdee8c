// The recovery file read from the disk: Varnok's own and the outside tool's (par2cmdline, run on
// the Linux side over the pieces as the split wrote them) describe the same set, and the join
// rebuilds a piece by either; a file made with several slices to a piece is told apart from a
// damaged one; a stop is obeyed.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/recovery/Par2Reader.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

// 10000 bytes split by 2600 with the recovery file: pieces of 2600, 2600, 2600 and 2200.
struct RecoveryFiles : ::testing::Test {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(10000, 41);

    void SetUp() override {
        WriteWholeFile(pieces / "film.avi", bytes);
        SplitRequest request =
            SplitRequestFor(pieces / "film.avi", pieces.Path(), SplitMethod::BySize, 2600);
        request.recovery = true;
        RecordingHooks split;
        SplitFile(request, split);
        RemoveFile(pieces / "film.avi");
        ASSERT_TRUE(FileExists(pieces / "film.avi.par2"));
    }

    std::string Piece(int64_t n) const { return PiecePath(pieces.Path(), "film.avi", n); }

    // par2cmdline's `create` with these options over the four pieces, in their folder.
    void ToolCreate(const std::string& options) {
        const std::optional<UnixRun> run =
            RunUnixShell("par2 create -q -q " + options +
                             " film.avi_1.brf film.avi_2.brf film.avi_3.brf film.avi_4.brf",
                         pieces.Path());
        ASSERT_TRUE(run);
        ASSERT_EQ(run->exitCode, 0) << run->output;
    }

    // The file at path describes the set: every piece by name and length, and the XOR of the
    // pieces where it says its recovery slice is.
    void ExpectTheSet(const std::string& path) {
        SCOPED_TRACE(path);
        const RecoveryFileReading reading = ReadRecoveryFile(path, [] { return true; });
        ASSERT_EQ(reading.verdict, Par2Verdict::Usable);
        ASSERT_TRUE(reading.set);
        EXPECT_FALSE(reading.stopped);
        ASSERT_EQ(reading.set->sliceSize, 2600u);
        Texts described;
        std::string parity(2600, '\0');
        for (const Par2Piece& piece : reading.set->pieces) {
            described.push_back(piece.name + " " + std::to_string(piece.length));
            const std::string own = ReadWholeFile(pieces / piece.name);
            for (size_t i = 0; i < own.size(); ++i) parity[i] ^= own[i];
        }
        std::sort(described.begin(), described.end());
        EXPECT_EQ(described, (Texts{"film.avi_1.brf 2600", "film.avi_2.brf 2600",
                                    "film.avi_3.brf 2600", "film.avi_4.brf 2200"}));
        ASSERT_FALSE(reading.set->slices.empty());
        EXPECT_EQ(reading.set->slices[0].exponent, 0u);
        EXPECT_TRUE(ReadWholeFile(path).substr(reading.set->slices[0].offset, 2600) == parity);
    }
};

} // namespace

TEST_F(RecoveryFiles, VarnoksAndTheOutsideToolsFileOfOneSliceAPieceRebuildAPiece) {
    ExpectTheSet(pieces / "film.avi.par2");
    ToolCreate("-s2600 -c1 -n1 tool.par2");
    ExpectTheSet(pieces / "tool.vol0+1.par2");
    // Its index describes the set and holds no recovery slice: its volume beside it does.
    const RecoveryFileReading index = ReadRecoveryFile(pieces / "tool.par2", [] { return true; });
    EXPECT_EQ(index.verdict, Par2Verdict::NoSlices);
    ASSERT_TRUE(index.set);
    EXPECT_EQ(index.set->pieces.size(), 4u);
    // The outside tool's volume in place of Varnok's file rebuilds a missing piece.
    WriteWholeFile(pieces / "film.avi.par2", ReadWholeFile(pieces / "tool.vol0+1.par2"));
    RemoveFile(pieces / "tool.par2");
    RemoveFile(pieces / "tool.vol0+1.par2");
    RemoveFile(Piece(2));
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Востановление файла " + target.Path() +
                    "film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 2 "
                    "восстановлена по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
}

TEST_F(RecoveryFiles, SeveralSlicesAPieceAreToldApartFromDamageAndAStopIsObeyed) {
    ToolCreate("-s1000 -c1 -n1 small.par2");
    for (const char* name : {"small.par2", "small.vol0+1.par2"}) {
        const RecoveryFileReading reading = ReadRecoveryFile(pieces / name, [] { return true; });
        EXPECT_EQ(reading.verdict, Par2Verdict::SlicesPerPiece) << name;
        EXPECT_FALSE(reading.set);
        EXPECT_FALSE(reading.stopped);
    }
    const std::string own = ReadWholeFile(pieces / "film.avi.par2");
    // In place of Varnok's file, the join says what the file is rather than calling it damaged.
    WriteWholeFile(pieces / "film.avi.par2", ReadWholeFile(pieces / "small.vol0+1.par2"));
    RemoveFile(Piece(3));
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Часть " + Piece(3) + " не найдена!\r\nФайл восстановления " + pieces.Path() +
                    "film.avi.par2 сделан с несколькими срезами на часть: Varnok восстанавливает "
                    "только наборы с одним срезом на часть."});
    EXPECT_FALSE(FileExists(target / "film.avi"));
    WriteWholeFile(pieces / "film.avi.par2", own);
    WriteWholeFile(pieces / "cut.par2", own.substr(0, own.size() - 4));
    std::string flipped = own;
    flipped[own.size() / 2] ^= 1;
    WriteWholeFile(pieces / "flipped.par2", flipped);
    // A byte of the recovery slice: the set is read, the slice passed over.
    const RecoveryFileReading damagedSlice =
        ReadRecoveryFile(pieces / "flipped.par2", [] { return true; });
    EXPECT_EQ(damagedSlice.verdict, Par2Verdict::NoSlices);
    ASSERT_TRUE(damagedSlice.set);
    EXPECT_EQ(damagedSlice.set->damagedSlices, 1u);
    flipped = own;
    flipped[own.size() - 10] ^= 1;
    WriteWholeFile(pieces / "flipped.par2", flipped);
    for (const char* name : {"cut.par2", "flipped.par2", "missing.par2"}) {
        const RecoveryFileReading reading = ReadRecoveryFile(pieces / name, [] { return true; });
        EXPECT_EQ(reading.verdict, Par2Verdict::Damaged) << name;
        EXPECT_FALSE(reading.set);
        EXPECT_FALSE(reading.stopped);
    }
    int asked = 0;
    const RecoveryFileReading stopped = ReadRecoveryFile(pieces / "film.avi.par2", [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.verdict, Par2Verdict::Stopped);
    EXPECT_FALSE(stopped.set);
}

// The outside tool's recovery set of two slices over Varnok's pieces, an index without slices
// and a volume file of each: the join finds both volumes beside the index and rebuilds two
// pieces by them.
TEST_F(RecoveryFiles, TheOutsideToolsVolumesOfTwoSlicesRebuildTwoPieces) {
    RemoveFile(pieces / "film.avi.par2");
    ToolCreate("-s2600 -c2 film.avi.par2");
    const Texts made = FolderEntries(pieces.Path());
    ASSERT_TRUE(std::count_if(made.begin(), made.end(),
                              [](const std::string& name) {
                                  return name.rfind("film.avi.vol", 0) == 0;
                              }) >= 1)
        << "no volume file";
    RemoveFile(Piece(1));
    std::string changed = ReadWholeFile(Piece(4));
    changed[7] ^= 0x40;
    WriteWholeFile(Piece(4), changed);
    RecordingHooks hooks;
    JoinPieces(Piece(2), target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Востановление файла " + target.Path() +
                    "film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\nЧасти 1, 4 "
                    "восстановлены по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
    EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
}
