// Progress reports, yields inside a long copy, and stopping a split or a join in the middle.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

// The figures never fall, the total never changes, and the last report reaches it.
void ExpectRisingTo(const std::vector<EngineHooks::ProgressFigures>& figures, int64_t total) {
    ASSERT_FALSE(figures.empty());
    for (size_t i = 0; i < figures.size(); ++i) {
        EXPECT_EQ(figures[i].total, total) << i;
        EXPECT_LE(figures[i].pieceDone, figures[i].pieceTotal) << i;
        if (i > 0) {
            EXPECT_GE(figures[i].done, figures[i - 1].done) << i;
        }
    }
    EXPECT_EQ(figures.back().done, total);
}

SplitRequest Request(const TempFolder& folder, SplitMethod method, int64_t number) {
    return SplitRequestFor(folder / "src.bin", folder / "out\\", method, number);
}

} // namespace

TEST(Progress, RisesToTheTotalInEveryMethodAndInTheJoin) {
    CopyBufferScope shrunk(64);
    PaceEveryBuffer pace;
    TempFolder folder;
    const std::string bytes = PatternBytes(5000, 9);
    WriteWholeFile(folder / "src.bin", bytes);
    for (SplitMethod method : {SplitMethod::BySize, SplitMethod::ByCount, SplitMethod::OntoDisks}) {
        SCOPED_TRACE(static_cast<int>(method));
        RemoveTree(folder / "out\\");
        ProgressHooks hooks;
        SplitFile(Request(folder, method, method == SplitMethod::BySize ? 2000 : 3), hooks,
                  ScriptedSystem([](const std::string&) {
                      return std::optional<uint64_t>(1500 + kTestCluster);
                  }));
        EXPECT_EQ(JoinedPieces(folder / "out\\", "src.bin"), bytes);
        ExpectRisingTo(hooks.figures, 5000);
        // One report per yield, and many within each piece.
        EXPECT_EQ(hooks.figures.size(), static_cast<size_t>(hooks.yields));
        EXPECT_GT(hooks.figures.size(), 5000u / 64);
        for (const auto& f : hooks.figures) {
            if (method == SplitMethod::OntoDisks) {
                EXPECT_LE(f.pieceTotal, 1500);
            }
        }
    }
    ProgressHooks join;
    JoinPieces(folder / "out\\src.bin_1.brf", folder / "joined\\", join);
    EXPECT_EQ(ReadWholeFile(folder / "joined\\src.bin"), bytes);
    ExpectRisingTo(join.figures, 5000);
}

TEST(Progress, TheHookSequenceOfAQuickSplitIsUnchanged) {
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", "0123456789");
    ProgressHooks hooks;
    SplitFile(Request(folder, SplitMethod::BySize, 5), hooks);
    EXPECT_EQ(hooks.calls, (Texts{"keep", "status: Разделение файла src.bin в src.bin_1.brf",
                                  "keep", "status: Разделение файла src.bin в src.bin_2.brf",
                                  "message: Разделение файла src.bin завершенно",
                                  "status: Разделение файла src.bin завершенно"}));
    EXPECT_EQ(hooks.figures.size(), 2u);
    EXPECT_EQ(hooks.figures[1].done, 5);
}

TEST(Stop, ASplitBySizeOrCountLeavesNoPieceAndNoCompletion) {
    CopyBufferScope shrunk(100);
    PaceEveryBuffer pace;
    for (SplitMethod method : {SplitMethod::BySize, SplitMethod::ByCount}) {
        for (int stopAt : {1, 3, 25}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(method) << " at " << stopAt);
            TempFolder folder;
            WriteWholeFile(folder / "src.bin", PatternBytes(3000, 1));
            ProgressHooks hooks;
            hooks.stopAtYield = stopAt;
            SplitFile(Request(folder, method, method == SplitMethod::BySize ? 1000 : 3), hooks);
            EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{});
            EXPECT_EQ(hooks.Of("message"), Texts{});
            EXPECT_EQ(ReadWholeFile(folder / "src.bin"), PatternBytes(3000, 1));
        }
    }
}

TEST(Stop, ASplitOntoDisksRemovesThePieceInTheDriveAndSaysTheSetIsUnfinished) {
    CopyBufferScope shrunk(100);
    PaceEveryBuffer pace;
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", PatternBytes(3000, 2));
    ProgressHooks hooks;
    // Piece 1 takes eleven yields (one before it, ten in it); stop within piece 2.
    hooks.stopAtYield = 15;
    SplitFile(Request(folder, SplitMethod::OntoDisks, 0), hooks,
              ScriptedSystem(
                  [](const std::string&) { return std::optional<uint64_t>(1000 + kTestCluster); }));
    EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{"src.bin_1.brf"});
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Разделение прервано. Части на предыдущих дисках не составляют полного "
                    "набора."});
}

TEST(Stop, AJoinRemovesItsGatheringFileAndKeepsTheOldOutput) {
    CopyBufferScope shrunk(100);
    PaceEveryBuffer pace;
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", PatternBytes(3000, 3));
    RecordingHooks split;
    SplitFile(Request(folder, SplitMethod::ByCount, 3), split);
    MakeFolder(folder / "old\\");
    WriteWholeFile(folder / "old\\src.bin", "old output");
    for (int stopAt : {1, 2, 12}) {
        SCOPED_TRACE(stopAt);
        ProgressHooks hooks;
        hooks.stopAtYield = stopAt;
        JoinPieces(folder / "out\\src.bin_2.brf", folder / "old\\", hooks);
        EXPECT_EQ(FolderEntries(folder / "old\\"), Texts{"src.bin"});
        EXPECT_EQ(ReadWholeFile(folder / "old\\src.bin"), "old output");
        EXPECT_EQ(hooks.Of("message"), Texts{});
    }
}

TEST(Request, ASplitGoesOnWithTheValuesOfTheClick) {
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", PatternBytes(30, 4));
    SplitRequest request = Request(folder, SplitMethod::ByCount, 3);
    ProgressHooks hooks;
    hooks.onKeep = [&] {
        request.count = 2;
        request.targetFolder = folder / "elsewhere\\";
        request.sourcePath = folder / "missing.bin";
    };
    SplitFile(request, hooks);
    EXPECT_EQ(PieceSizes(folder / "out\\", "src.bin"), (std::vector<int64_t>{10, 10, 10}));
    EXPECT_FALSE(IsExistingFolder(folder / "elsewhere\\"));
    EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла src.bin завершенно"});
}
