// Sets with a recovery file: the split writes it only whole, the join rebuilds any one piece
// missing, cut short or changed (leaving the user's set as it was and no file of its own), and
// refuses two faults, a damaged recovery file and one of another set.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "TestFiles.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Resume.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

// Splits bytes as film.avi in folder by size with the recovery file and leaves only the set;
// the split's messages.
Texts SplitWithRecovery(const TempFolder& folder, const std::string& bytes, int64_t pieceSize) {
    WriteWholeFile(folder / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(folder / "film.avi", folder.Path(), SplitMethod::BySize, pieceSize);
    request.recovery = true;
    RecordingHooks split;
    SplitFile(request, split);
    RemoveFile(folder / "film.avi");
    return split.Of("message");
}

// 10000 bytes in pieces of 2600, 2600, 2600 and 2200: the last one shorter, none a multiple of
// the slice's 4 bytes but the slice itself.
struct RecoveryJoin : ::testing::Test {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(10000, 41);
    static constexpr int64_t kCount = 4;

    void SetUp() override {
        ASSERT_EQ(SplitWithRecovery(pieces, bytes, 2600),
                  Texts{"Разделение файла film.avi завершенно"});
        ASSERT_EQ(FolderEntries(pieces.Path()),
                  (Texts{"film.avi.par2", "film.avi.sha256", "film.avi_1.brf", "film.avi_2.brf",
                         "film.avi_3.brf", "film.avi_4.brf"}));
    }

    std::string Piece(int64_t n) const { return PiecePath(pieces.Path(), "film.avi", n); }
    std::string Recovery() const { return pieces / "film.avi.par2"; }
    std::string Done() const {
        return "Востановление файла " + target.Path() +
               "film.avi завершенно\r\nВсе части проверены по film.avi.sha256.";
    }

    Texts Join() {
        RecordingHooks hooks;
        JoinPieces(Piece(1), target.Path(), hooks);
        return hooks.Of("message");
    }

    // Joins the set with a fault; the output must be whole, the set as the fault left it and
    // the target folder free of the rebuilt piece.
    void ExpectRebuilt(int64_t n, const std::string& why) {
        SCOPED_TRACE(why + " piece " + std::to_string(n));
        const Texts before = FolderEntries(pieces.Path());
        const std::string left = ReadWholeFile(Piece(n));
        EXPECT_EQ(Join(), Texts{Done() + "\r\nЧасть " + std::to_string(n) +
                                " восстановлена по film.avi.par2."});
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
        EXPECT_EQ(FolderEntries(pieces.Path()), before);
        EXPECT_TRUE(ReadWholeFile(Piece(n)) == left);
        RemoveFile(target / "film.avi");
    }

    // Joins and expects the one refusal, with nothing in the target folder.
    void ExpectRefused(const std::string& text) {
        EXPECT_EQ(Join(), Texts{text});
        EXPECT_TRUE(FolderEntries(target.Path()).empty());
    }
};

} // namespace

TEST_F(RecoveryJoin, AnyOnePieceMissingCutShortOrChangedIsRebuilt) {
    for (int64_t n = 1; n <= kCount; ++n) {
        const std::string original = ReadWholeFile(Piece(n));
        RemoveFile(Piece(n));
        ExpectRebuilt(n, "missing");
        WriteWholeFile(Piece(n), original.substr(0, original.size() - 1));
        ExpectRebuilt(n, "cut short");
        WriteWholeFile(Piece(n), "");
        ExpectRebuilt(n, "empty");
        std::string changed = original;
        changed[changed.size() / 3] ^= 0x20;
        WriteWholeFile(Piece(n), changed);
        ExpectRebuilt(n, "one byte changed");
        WriteWholeFile(Piece(n), original + "x");
        ExpectRebuilt(n, "one byte longer");
        WriteWholeFile(Piece(n), original);
    }
    // A whole set is joined without the recovery file's help.
    EXPECT_EQ(Join(), Texts{Done()});
}

// The other pieces are read side by side, a buffer of each at a time, and a set of more than
// 32 of them in groups: a set of 71 small pieces read through a small buffer is rebuilt
// wherever its fault lies.
TEST(RecoveryJoinMany, PiecesReadInGroupsAndManyBuffersRebuildAnyOne) {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(70 * 300 + 77, 43);
    SplitWithRecovery(pieces, bytes, 300);
    ASSERT_TRUE(FileExists(pieces / "film.avi.par2"));
    CopyBufferScope buffer(64);
    for (int64_t n : {1, 40, 70, 71}) {
        SCOPED_TRACE(n);
        const std::string path = PiecePath(pieces.Path(), "film.avi", n);
        const std::string original = ReadWholeFile(path);
        std::string changed = original;
        changed[changed.size() - 1] ^= 1;
        WriteWholeFile(path, changed);
        RecordingHooks hooks;
        JoinPieces(PiecePath(pieces.Path(), "film.avi", 1), target.Path(), hooks);
        ASSERT_EQ(hooks.Of("message").size(), 1u);
        EXPECT_NE(hooks.Of("message")[0].find("Часть " + std::to_string(n) +
                                              " восстановлена по film.avi.par2."),
                  std::string::npos)
            << hooks.Of("message")[0];
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
        RemoveFile(target / "film.avi");
        WriteWholeFile(path, original);
    }
}

TEST_F(RecoveryJoin, TwoFaultsAreRefusedAndBothNamed) {
    const std::string onlyOne =
        "Файл восстановления film.avi.par2 восстанавливает только одну часть.";
    const std::string second = ReadWholeFile(Piece(2));
    RemoveFile(Piece(2));
    RemoveFile(Piece(4));
    ExpectRefused("Части " + Piece(2) + ", " + Piece(4) + " не найдены!\r\n" + onlyOne);
    WriteWholeFile(Piece(4), PatternBytes(2200, 1));
    ExpectRefused("Часть " + Piece(2) + " не найдена.\r\nЧасть " + Piece(4) +
                  " повреждена или изменена после разделения.\r\n" + onlyOne +
                  " Соединение прервано.");
    // Both found while the set is read: the first is rebuilt from the others, which names the
    // second.
    WriteWholeFile(Piece(2), second.substr(0, 100));
    ExpectRefused("Часть " + Piece(2) + " повреждена или изменена после разделения.\r\nЧасть " +
                  Piece(4) + " повреждена или изменена после разделения.\r\n" + onlyOne +
                  " Соединение прервано.");
}

TEST_F(RecoveryJoin, ADamagedRecoveryFileOrOneOfAnotherSetIsNotUsed) {
    RemoveFile(Piece(3));
    const std::string missing =
        "Часть " + Piece(3) + " не найдена!\r\nФайл восстановления " + Recovery();
    const std::string recovery = ReadWholeFile(Recovery());
    // One byte of each part of the file: the recovery slice, a file description, the end.
    for (size_t at : {size_t{10}, size_t{100}, size_t{2700}, recovery.size() - 5}) {
        SCOPED_TRACE(at);
        std::string flipped = recovery;
        flipped[at] ^= 0x01;
        WriteWholeFile(Recovery(), flipped);
        ExpectRefused(missing + " повреждён и не использован.");
    }
    WriteWholeFile(Recovery(), recovery.substr(0, recovery.size() - 100));
    ExpectRefused(missing + " повреждён и не использован.");
    // The recovery file of a split of another file of the same name into five pieces.
    TempFolder other;
    WriteWholeFile(other / "film.avi", PatternBytes(10000, 42));
    SplitRequest request =
        SplitRequestFor(other / "film.avi", other.Path(), SplitMethod::ByCount, 5);
    request.recovery = true;
    RecordingHooks split;
    SplitFile(request, split);
    WriteWholeFile(Recovery(), ReadWholeFile(other / "film.avi.par2"));
    ExpectRefused(missing + " описывает другие части, чем film.avi.sha256, и не использован.");
    // The same pieces' names and count, other bytes: the rebuilt piece fails its check line.
    WriteWholeFile(other / "film.avi", PatternBytes(10000, 43));
    request.method = SplitMethod::BySize;
    request.sizeValue = 2600;
    SplitFile(request, split);
    WriteWholeFile(Recovery(), ReadWholeFile(other / "film.avi.par2"));
    RecordingHooks hooks;
    JoinPieces(Piece(1), target.Path(), hooks);
    ASSERT_EQ(hooks.Of("message").size(), 1u);
    EXPECT_NE(hooks.Of("message")[0].find(" не совпадает со строкой в film.avi.sha256"),
              std::string::npos)
        << hooks.Of("message")[0];
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(RecoveryJoin, AFileOfTheUsersUnderTheRebuiltPiecesNameIsLeftAlone) {
    WriteWholeFile(target / "film.avi.~piece", "the user's");
    const Texts withIt{"film.avi", "film.avi.~piece"};
    // A whole set: nothing is rebuilt, so nothing of the join's own is made.
    EXPECT_EQ(Join(), Texts{Done()});
    EXPECT_EQ(FolderEntries(target.Path()), withIt);
    // A join that refuses two lost pieces.
    const std::string fourth = ReadWholeFile(Piece(4));
    RemoveFile(Piece(2));
    RemoveFile(Piece(4));
    EXPECT_EQ(Join().size(), 1u);
    EXPECT_EQ(FolderEntries(target.Path()), withIt);
    // A join that rebuilds: its own file goes under another name, and only that one goes.
    WriteWholeFile(Piece(4), fourth);
    RemoveFile(target / "film.avi");
    EXPECT_EQ(Join(), Texts{Done() + "\r\nЧасть 2 восстановлена по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
    EXPECT_EQ(FolderEntries(target.Path()), withIt);
    EXPECT_EQ(ReadWholeFile(target / "film.avi.~piece"), "the user's");
}

TEST_F(RecoveryJoin, TheProgressCountsTheRebuiltPieceAndEndsAtTheTotal) {
    PaceEveryBuffer pace;
    CopyBufferScope small(1000);
    const std::string third = ReadWholeFile(Piece(3));
    // Lost (rebuilt before the pieces are gathered), cut short and lengthened (rebuilt when
    // found while gathering).
    for (const std::optional<std::string>& left :
         {std::optional<std::string>(), std::optional(third.substr(0, 100)),
          std::optional(third + "more bytes")}) {
        SCOPED_TRACE(left ? left->size() : 0);
        if (left)
            WriteWholeFile(Piece(3), *left);
        else
            RemoveFile(Piece(3));
        ProgressHooks hooks;
        JoinPieces(Piece(1), target.Path(), hooks);
        EXPECT_EQ(hooks.Of("message"),
                  Texts{Done() + "\r\nЧасть 3 восстановлена по film.avi.par2."});
        ASSERT_FALSE(hooks.figures.empty());
        for (const EngineHooks::ProgressFigures& f : hooks.figures) EXPECT_LE(f.done, f.total);
        EXPECT_EQ(hooks.figures.back().done, 10000);
        EXPECT_EQ(hooks.figures.back().total, 10000);
        RemoveFile(target / "film.avi");
    }
}

TEST(RecoveryJoinOne, ASetOfOnePieceWhoseOnlyPieceIsLostIsJoinedFromItsCheckFile) {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(5000, 44);
    SplitWithRecovery(pieces, bytes, 5000);
    ASSERT_EQ(FolderEntries(pieces.Path()),
              (Texts{"film.avi.par2", "film.avi.sha256", "film.avi_1.brf"}));
    const std::string piece = PiecePath(pieces.Path(), "film.avi", 1);
    RemoveFile(piece);
    // The chosen piece is gone, but its name gives the set's, and the check file lists it.
    RecordingHooks hooks;
    JoinPieces(piece, target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Востановление файла " + target.Path() +
                    "film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 1 "
                    "восстановлена по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
    EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
    // Without the recovery file the check file names the piece lost.
    RemoveFile(target / "film.avi");
    RemoveFile(pieces / "film.avi.par2");
    RecordingHooks lost;
    JoinPieces(piece, target.Path(), lost);
    EXPECT_EQ(lost.Of("message"), Texts{"Часть " + piece + " не найдена!"});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(RecoveryJoin, WithoutACheckFileTheSetJoinsAsItAlwaysDid) {
    RemoveFile(pieces / "film.avi.sha256");
    std::string changed = ReadWholeFile(Piece(2));
    changed[7] ^= 1;
    WriteWholeFile(Piece(2), changed);
    EXPECT_EQ(Join(), Texts{"Востановление файла " + target.Path() + "film.avi завершенно"});
    EXPECT_EQ(ReadWholeFile(target / "film.avi").substr(2600, 2600), changed);
}

TEST(RecoverySplit, AStoppedOrFailedSplitLeavesNoRecoveryFile) {
    TempFolder folder;
    WriteWholeFile(folder / "src.bin", PatternBytes(300000, 5));
    CopyBufferScope small(4096);
    PaceEveryBuffer everyBuffer;
    for (int stopAt : {1, 3, 40}) {
        SCOPED_TRACE(stopAt);
        SplitRequest request =
            SplitRequestFor(folder / "src.bin", folder / "out\\", SplitMethod::ByCount, 3);
        request.recovery = true;
        ProgressHooks hooks;
        hooks.stopAtYield = stopAt;
        SplitFile(request, hooks);
        EXPECT_TRUE(hooks.Of("message").empty());
        EXPECT_TRUE(FolderEntries(folder / "out\\").empty());
    }
    // The last piece cannot be written: the split fails and takes everything with it.
    MakeFolder(folder / "out\\");
    FullDeviceLink full(folder / "out\\", "src.bin_3.brf");
    ASSERT_TRUE(full.Made());
    SplitRequest request =
        SplitRequestFor(folder / "src.bin", folder / "out\\", SplitMethod::ByCount, 3);
    request.recovery = true;
    RecordingHooks hooks;
    SplitFile(request, hooks);
    EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{"src.bin_3.brf"}) << "only the link";
}

TEST(RecoverySplit, MoreThan32768PiecesAreSplitWithoutARecoveryFileAndTheUserIsTold) {
    TempFolder folder;
    WriteWholeFile(folder / "s", PatternBytes(32769, 6));
    SplitRequest request = SplitRequestFor(folder / "s", folder / "out\\", SplitMethod::BySize, 1);
    request.recovery = true;
    ProgressHooks hooks;
    // A whole split of 32,769 pieces takes ten minutes under Wine: the split is looked at
    // while it writes them, and stopped.
    Texts seen;
    hooks.onKeep = [&] {
        if (hooks.yields == 200) seen = FolderEntries(folder / "out\\");
    };
    hooks.stopAtYield = 201;
    SplitFile(request, hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Файл восстановления s.par2 не будет создан: в наборе 32769 частей, а формат "
                    "PAR2 описывает не более 32768. Разделение пойдёт без него."});
    EXPECT_GT(seen.size(), 100u);
    for (const std::string& name : seen) EXPECT_EQ(name.find(".par2"), std::string::npos) << name;
}

TEST(RecoverySplit, ASetSplitAgainWithoutOneLosesTheOldRecoveryFile) {
    TempFolder folder;
    WriteWholeFile(folder / "s", PatternBytes(3000, 6));
    SplitRequest request = SplitRequestFor(folder / "s", folder.Path(), SplitMethod::ByCount, 3);
    request.recovery = true;
    RecordingHooks hooks;
    SplitFile(request, hooks);
    ASSERT_TRUE(FileExists(folder / "s.par2"));
    // It would "repair" the new pieces back into the old ones.
    WriteWholeFile(folder / "s", PatternBytes(3000, 7));
    request.recovery = false;
    SplitFile(request, hooks);
    EXPECT_FALSE(FileExists(folder / "s.par2"));
    EXPECT_EQ(hooks.Of("message"), Texts(2, "Разделение файла s завершенно"));
}

namespace {

// Scripted disks whose pieces all land in one folder: free bytes of each disk in turn, besides
// the room its check file keeps.
struct DiskScript {
    std::vector<uint64_t> figures;
    size_t next = 0;
    SplitSystem System() {
        SplitSystem system = ScriptedSystem([this](const std::string&) -> std::optional<uint64_t> {
            return (next < figures.size() ? figures[next++] : 0) + kTestCluster;
        });
        system.fileSystem = [](const std::string&) { return std::string("NTFS"); };
        return system;
    }
};

// The completion box's line of one volume written.
constexpr char kOneVolume[] = "\r\nЗаписано томов восстановления: 1 из 1.";

} // namespace

// One volume asked for: the pieces are 7,440, 7,440 and 10,120 bytes (each disk keeps room for a
// volume's packets besides its slice), and the index and the volume go onto the last disk or
// one more.
TEST(RecoveryOnDisks, TheLastDiskOrOneMoreTakesTheVolumeAndCancelKeepsTheSetWithoutIt) {
    TempFolder folder;
    const std::string bytes = PatternBytes(25000, 9);
    WriteWholeFile(folder / "src.bin", bytes);
    const size_t workFiles = RecoveryWorkFilesInTemp();
    const std::string insert = "Вставте другой диск " + folder.Path().substr(0, 1) +
                               " для записи части src.bin и нажмите Ок.";
    const std::string done = "Разделение файла src.bin завершенно";
    const std::string oneMore = "Вставте другой диск " + folder.Path().substr(0, 1) +
                                " для записи файла восстановления src.bin.par2 (";
    struct Case {
        std::vector<uint64_t> disks;
        std::deque<bool> answers;
        size_t asks; // the last one for the index when more than 3
        Texts messages;
        bool written;
    };
    const std::vector<Case> cases = {
        // The last disk holds the rest of the file and the recovery files.
        {{10000, 10000, 1u << 20, 1u << 20}, {}, 3, {done + kOneVolume}, true},
        // The last disk is full with its piece: one more is asked for.
        {{10000, 10000, 1u << 20, 100, 1u << 20}, {}, 4, {done + kOneVolume}, true},
        // Cancel there keeps the set, complete and checkable, without them.
        {{10000, 10000, 1u << 20, 100},
         {true, true, true, false},
         4,
         {"Тома восстановления не записаны. Набор частей полон и проверяется по файлу проверки, "
          "но потерянные части восстановить не сможет.",
          done + "\r\nЗаписано томов восстановления: 0 из 1."},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disks.size());
        TempFolder disk;
        DiskScript script{c.disks};
        SplitRequest request =
            SplitRequestFor(folder / "src.bin", disk.Path(), SplitMethod::OntoDisks, 0);
        request.recovery = true;
        RecordingHooks hooks;
        hooks.answers = c.answers;
        SplitFile(request, hooks, script.System());
        const Texts asks = hooks.Of("ask");
        ASSERT_EQ(asks.size(), c.asks);
        EXPECT_EQ(Texts(asks.begin(), asks.begin() + 3), Texts(3, insert));
        if (c.asks > 3) EXPECT_EQ(asks.back().rfind(oneMore, 0), 0u) << asks.back();
        EXPECT_EQ(hooks.Of("message"), c.messages);
        EXPECT_EQ(FileExists(disk / "src.bin.vol0+1.par2"), c.written);
        EXPECT_EQ(FileExists(disk / "src.bin.par2"), c.written);
        EXPECT_EQ(RecoveryWorkFilesInTemp(), workFiles);
        // The set joins, and with a piece missing it is rebuilt when the volume was written.
        RemoveFile(disk / "src.bin_2.brf");
        TempFolder target;
        RecordingHooks join;
        JoinPieces(disk / "src.bin_1.brf", target.Path(), join);
        ASSERT_EQ(join.Of("message").size(), 1u);
        EXPECT_EQ(join.Of("message")[0].find("Часть 2 восстановлена") != std::string::npos,
                  c.written);
        EXPECT_EQ(ReadWholeFile(target / "src.bin") == bytes, c.written);
    }
}

TEST(RecoverySplit, AResumedSplitWritesTheRecoveryFileOfTheWholeSet) {
    TempFolder temp;
    const std::string first = PatternBytes(6500, 11), second = PatternBytes(6500, 12);
    // The recovery file of an uninterrupted split of the source as it is at the resume.
    const auto wholeSplit = [&](const std::string& bytes, const std::string& folder) {
        WriteWholeFile(temp / "film.avi", bytes);
        SplitRequest request =
            SplitRequestFor(temp / "film.avi", folder, SplitMethod::BySize, 1000);
        request.recovery = true;
        RecordingHooks hooks;
        SplitFile(request, hooks);
        return ReadWholeFile(folder + "film.avi.par2");
    };
    const std::string ofFirst = wholeSplit(first, temp / "a\\");
    const std::string ofSecond = wholeSplit(second, temp / "b\\");
    ASSERT_FALSE(ofFirst.empty());
    // Pieces 1 to 3 of the first source, and the check file listing them: an ended split.
    // Resumed on the same source, and on another one, which starts over when the user agrees.
    for (const auto& [bytes, expected] : {std::pair{first, ofFirst}, std::pair{second, ofSecond}}) {
        const std::string ended = temp / "ended\\";
        RemoveTree(ended);
        MakeFolder(ended);
        WriteEndedSplit(temp / "a\\", ended, "film.avi", 3);
        WriteWholeFile(temp / "film.avi", bytes);
        SplitRequest request = SplitRequestFor(temp / "film.avi", ended, SplitMethod::BySize, 1000);
        request.recovery = true;
        ProgressHooks hooks;
        hooks.replies = {Reply::Yes};
        SplitFile(request, hooks);
        EXPECT_EQ(hooks.Of("message").back(), "Разделение файла film.avi завершенно");
        EXPECT_TRUE(ReadWholeFile(ended + "film.avi.par2") == expected);
    }
}
