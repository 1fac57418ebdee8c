// The rebuild of a set of the most pieces a recovery file describes: its pieces are matched to
// the recovery file's descriptions in one pass, so a lost piece is rebuilt in seconds, and a
// stop asked for while the rebuild runs ends it there.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/checkfile/CheckFile.h"
#include "engine/digest/Crc32.h"
#include "engine/join/Join.h"
#include "engine/digest/Md5.h"
#include "engine/recovery/Par2.h"
#include "engine/pieces/PieceSet.h"
#include "engine/digest/Sha256.h"

namespace {

using Texts = std::vector<std::string>;

// Every piece has at most this many bytes, the slice as many.
constexpr uint64_t kSlice = 4;

Par2Piece DescribedPiece(const std::string& name, const std::string& bytes) {
    std::string padded = bytes;
    padded.resize(kSlice, '\0');
    Par2Piece piece;
    piece.name = name;
    piece.length = bytes.size();
    piece.whole = Md5Of(bytes.data(), bytes.size());
    piece.first = piece.whole;
    piece.slice = Md5Of(padded.data(), padded.size());
    piece.sliceCrc = Crc32Add(0, padded.data(), padded.size());
    return piece;
}

// Writes count pieces of 1 to 4 letters as "s" into folder, with the check file and the
// recovery file a split writes; the file's bytes. Wine makes each new file in a folder after
// looking through the folder for the name in other capitals, so a split of so many pieces takes
// minutes under it: the pieces are made by the system's shell instead.
std::string WriteTinySet(const std::string& folder, int64_t count) {
    std::string whole, lines, script, slice(kSlice, '\0');
    std::vector<Par2Piece> described;
    for (int64_t n = 1; n <= count; ++n) {
        std::string bytes = PatternBytes(1 + n % kSlice, static_cast<uint32_t>(n));
        for (char& c : bytes) c = static_cast<char>('a' + static_cast<uint8_t>(c) % 26);
        const std::string name = PieceName("s", n);
        script += "printf %s " + bytes + " >" + name + "\n";
        whole += bytes;
        lines += CheckLine(Sha256Of(bytes.data(), bytes.size()).value_or(""), name);
        for (size_t i = 0; i < bytes.size(); ++i) slice[i] ^= bytes[i];
        described.push_back(DescribedPiece(name, bytes));
    }
    WriteWholeFile(folder + "pieces.sh", script);
    const std::optional<UnixRun> made = RunUnixShell("sh pieces.sh && rm pieces.sh", folder);
    if (!made || made->exitCode != 0) return {};
    WriteWholeFile(folder + "s.sha256",
                   lines + CheckLine(Sha256Of(whole.data(), whole.size()).value_or(""), "s"));
    const Par2Description set = DescribeSet(kSlice, described, "Varnok test");
    Md5 body = RecoveryBodyDigest(set.setId);
    body.Add(slice.data(), slice.size());
    WriteWholeFile(folder + "s.par2",
                   RecoveryPacketHead(set.setId, kSlice, body.Finish()) + slice + set.packets);
    return whole;
}

// Records when the rebuild began and when the gathering did, and asks to stop at the rebuild's
// stopAt-th yield (never when 0).
struct RebuildHooks : ProgressHooks {
    int stopAt = 0;
    int rebuildYields = 0;
    bool rebuilding = false;
    DWORD rebuildBegan = 0, gatheringBegan = 0;

    void SetStatus(const std::string& text) override {
        RecordingHooks::SetStatus(text);
        rebuilding = text.rfind("Восстановление части ", 0) == 0;
        if (rebuilding && rebuildBegan == 0) rebuildBegan = GetTickCount();
        if (!rebuilding && rebuildBegan != 0 && gatheringBegan == 0)
            gatheringBegan = GetTickCount();
    }
    bool StopRequested() override { return rebuilding && ++rebuildYields == stopAt; }
};

} // namespace

TEST(LargeSet, ThirtyTwoThousandPiecesAreRebuiltInSecondsAndAStopEndsTheRebuild) {
    TempFolder pieces, target;
    const std::string bytes = WriteTinySet(pieces.Path(), Par2MostPieces);
    ASSERT_FALSE(bytes.empty()) << "the shell made no pieces";
    const std::string chosen = PiecePath(pieces.Path(), "s", 1);
    ASSERT_TRUE(RemoveFile(PiecePath(pieces.Path(), "s", 20000)));

    // A stop asked for well inside the rebuild: it ends there, with nothing written.
    {
        PaceEveryBuffer pace;
        RebuildHooks hooks;
        hooks.stopAt = 300;
        JoinPieces(chosen, target.Path(), hooks);
        EXPECT_EQ(hooks.rebuildYields, 300) << "no yield after the stop";
        EXPECT_TRUE(hooks.rebuilding) << "the pieces were never gathered";
        EXPECT_TRUE(hooks.Of("message").empty());
        EXPECT_TRUE(FolderEntries(target.Path()).empty());
    }

    RebuildHooks hooks;
    JoinPieces(chosen, target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{"Востановление файла " + target.Path() +
                                         "s завершенно\r\nВсе части проверены по "
                                         "s.sha256.\r\nЧасть 20000 восстановлена по s.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "s") == bytes);
    EXPECT_EQ(FolderEntries(target.Path()), Texts{"s"});
    // About 4 s here; matching the names pair by pair took about five minutes.
    ASSERT_NE(hooks.gatheringBegan, 0u);
    EXPECT_LT(hooks.gatheringBegan - hooks.rebuildBegan, 30000u);
}
