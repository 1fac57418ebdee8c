// The join of a set in one folder: pieces found, appended and checked, and its failures told.
#include "engine/join/Join.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "engine/checkfile/CheckFile.h"
#include "engine/system/FileServices.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"
#include "engine/system/Text.h"

namespace {

const std::string kNotVarnok =
    "Данный фаил не был создан программой Varnok\r  или он возможно был переименован.";
const std::string kNoFolder = "Невозможно создание папки для соединёного файла!";

std::string Completed(const std::string& target, const std::string& base) {
    return "Востановление файла " + target + base + " завершенно";
}

std::string PieceStatus(const std::string& target, const std::string& base,
                        const std::string& piece) {
    return "Востановление файла " + target + base + " из части " + piece;
}

// The list line that RecordingHooks makes for pieces 1 .. count.
std::string ListLine(const std::string& folder, const std::string& base, int64_t count) {
    std::string line = "list:";
    for (int64_t n = 1; n <= count; ++n) {
        line += ' ';
        line += PiecePath(folder, base, n);
    }
    return line;
}

// Writes bytes cut into pieces of pieceSize (the last one holds the rest); returns the count.
int64_t WritePieces(const std::string& folder, const std::string& name, const std::string& bytes,
                    size_t pieceSize) {
    int64_t n = 0;
    for (size_t at = 0; at < bytes.size(); at += pieceSize)
        WriteWholeFile(PiecePath(folder, name, ++n), bytes.substr(at, pieceSize));
    return n;
}

// Splits the file at source into pieces of pieceSize bytes in folder with the program's split.
void SplitBySize(const std::string& source, const std::string& folder, int64_t pieceSize) {
    RecordingHooks hooks;
    SplitFile(SplitRequestFor(source, folder, SplitMethod::BySize, pieceSize), hooks);
    ASSERT_EQ(hooks.Of("message"),
              std::vector<std::string>{"Разделение файла " + FileNamePart(source) + " завершенно"});
}

// Holds the output open from the first piece on, as another program might.
struct LockingHooks : RecordingHooks {
    std::string lockPath;
    std::unique_ptr<LockedFile> lock;
    void SetStatus(const std::string& text) override {
        RecordingHooks::SetStatus(text);
        if (!lock) lock = std::make_unique<LockedFile>(lockPath);
    }
};

struct JoinTest : ::testing::Test {
    TempFolder pieces;
    TempFolder target;
    RecordingHooks hooks;
};

} // namespace

TEST_F(JoinTest, SplitPiecesOfManySizesJoinBackByteForByte) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 12; ++round) {
        const size_t fileSize = 1 + random() % 200000;
        const size_t wanted = 1 + random() % 40;
        const size_t pieceSize = (fileSize + wanted - 1) / wanted;
        const int64_t count = static_cast<int64_t>((fileSize + pieceSize - 1) / pieceSize);
        TempFolder source, folder;
        const std::string bytes = PatternBytes(fileSize, round);
        WriteWholeFile(source / "data.bin", bytes);
        SplitBySize(source / "data.bin", folder.Path(), static_cast<int64_t>(pieceSize));

        RecordingHooks joined;
        JoinPieces(folder / PieceName("data.bin", count), target.Path(), joined);
        ASSERT_EQ(ReadWholeFile(target / "data.bin"), bytes)
            << fileSize << " in pieces of " << pieceSize;
        // The split wrote data.bin.sha256 beside the pieces, and the join checked them by it.
        EXPECT_EQ(joined.Of("message"),
                  std::vector<std::string>{Completed(target.Path(), "data.bin") +
                                           "\r\nВсе части проверены по data.bin.sha256."});
        EXPECT_EQ(joined.Of("status").size(), static_cast<size_t>(count + 1));
        RemoveFile(target / "data.bin");
    }
}

TEST_F(JoinTest, ThousandsOfPiecesJoinInNumberOrder) {
    const std::string bytes = PatternBytes(1234 * 3 + 1, 7);
    TempFolder source;
    WriteWholeFile(source / "big.dat", bytes);
    SplitBySize(source / "big.dat", pieces.Path(), 3);
    JoinPieces(pieces / "big.dat_1.brf", target.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(target / "big.dat"), bytes);
    ASSERT_EQ(hooks.Of("list").size(), 1u);
    EXPECT_EQ("list: " + hooks.Of("list")[0], ListLine(pieces.Path(), "big.dat", 1235));
}

TEST_F(JoinTest, SmallCopyBuffersJoinEveryByte) {
    const std::string bytes = PatternBytes(1000, 3);
    const int64_t count = WritePieces(pieces.Path(), "f.bin", bytes, 97);
    for (uint32_t buffer : {1u, 7u}) {
        CopyBufferScope shrunk(buffer);
        RecordingHooks joined;
        JoinPieces(pieces / "f.bin_2.brf", target.Path(), joined);
        EXPECT_EQ(ReadWholeFile(target / "f.bin"), bytes) << buffer;
        EXPECT_EQ(joined.Of("status").size(), static_cast<size_t>(count + 1));
    }
}

TEST_F(JoinTest, TellsEveryStepInOrder) {
    WritePieces(pieces.Path(), "film.avi", "aaabbbc", 3);
    const std::string folder = target / "new\\";
    JoinPieces(pieces / "film.avi_2.brf", folder, hooks);
    const std::vector<std::string> expected = {
        "keep",
        "keep",
        "keep",
        ListLine(pieces.Path(), "film.avi", 3),
        "status: " + PieceStatus(folder, "film.avi", pieces / "film.avi_1.brf"),
        "keep",
        "status: " + PieceStatus(folder, "film.avi", pieces / "film.avi_2.brf"),
        "keep",
        "status: " + PieceStatus(folder, "film.avi", pieces / "film.avi_3.brf"),
        "keep",
        "message: " + Completed(folder, "film.avi"),
        "status: " + Completed(folder, "film.avi"),
    };
    EXPECT_EQ(hooks.calls, expected);
    EXPECT_EQ(ReadWholeFile(folder + "film.avi"), "aaabbbc");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"film.avi"});
}

TEST_F(JoinTest, PieceTenFollowsPieceNine) {
    std::string bytes;
    for (int n = 1; n <= 12; ++n) {
        const std::string content = std::string(n, '#') + DecimalText(n);
        WriteWholeFile(PiecePath(pieces.Path(), "my_data.tar.gz", n), content);
        bytes += content;
    }
    JoinPieces(pieces / "my_data.tar.gz_12.brf", target.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(target / "my_data.tar.gz"), bytes);
    EXPECT_EQ(hooks.calls[12], ListLine(pieces.Path(), "my_data.tar.gz", 12));
}

TEST_F(JoinTest, BaseNameIsCutAtTheLastUnderscore) {
    WritePieces(pieces.Path(), "a_b", "0123456789", 4);
    // Whatever follows the last "_" leads to the same set; the name keeps the case it was given.
    const std::pair<std::string, std::string> cases[] = {
        {"a_b_1.brf", "a_b"}, {"a_b_3.brf", "a_b"}, {"a_b_anything.txt", "a_b"}, {"A_B_9", "A_B"}};
    for (const auto& [chosen, base] : cases) {
        RecordingHooks joined;
        JoinPieces(pieces / chosen, target.Path(), joined);
        EXPECT_EQ(ReadWholeFile(target / base), "0123456789") << chosen;
        EXPECT_EQ(joined.Of("message"), std::vector<std::string>{Completed(target.Path(), base)})
            << chosen;
        EXPECT_EQ(FolderEntries(target.Path()), std::vector<std::string>{base}) << chosen;
        RemoveFile(target / base);
    }
}

TEST_F(JoinTest, ChosenWholeFileIsWarnedAboutAndReplacedByTheJoin) {
    WritePieces(pieces.Path(), "README", "restored text", 5);
    WriteWholeFile(pieces / "README", "an older, longer whole file");
    JoinPieces(pieces / "README", pieces.Path(), hooks);
    EXPECT_EQ(hooks.calls.front(), "message: " + kNotVarnok);
    EXPECT_EQ(hooks.Of("message").back(), Completed(pieces.Path(), "README"));
    EXPECT_EQ(ReadWholeFile(pieces / "README"), "restored text");
    EXPECT_EQ(FolderEntries(pieces.Path()),
              (std::vector<std::string>{"README", "README_1.brf", "README_2.brf", "README_3.brf"}));
}

TEST_F(JoinTest, EmptyBaseNameNamesTheTargetFolderItselfAndIsRefused) {
    WritePieces(pieces.Path(), "", "xyz", 2);
    JoinPieces(pieces / "_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              std::vector<std::string>{"Невозможно создание файла " + target.Path() + "!"});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(JoinTest, OtherEntriesOfThePatternAreNoPieces) {
    WritePieces(pieces.Path(), "film.avi", "piece one|piece two", 10);
    WriteWholeFile(pieces / "film.avi_old.brf", "old");
    WriteWholeFile(pieces / "film.avi_01.brf", "zero-led");
    WriteWholeFile(pieces / "film.avi_0.brf", "zero");
    WriteWholeFile(pieces / "film.avi_3.brf.bak", "backup");
    ASSERT_TRUE(MakeFolder(pieces / "film.avi_4x.brf"));
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "piece one|piece two");
    EXPECT_EQ("list: " + hooks.Of("list").at(0), ListLine(pieces.Path(), "film.avi", 2));
    EXPECT_EQ(hooks.Of("message"), std::vector<std::string>{Completed(target.Path(), "film.avi")});
}

TEST_F(JoinTest, NamesAreMatchedWithoutRegardToCase) {
    WriteWholeFile(pieces / "FILM.AVI_1.BRF", "one ");
    WriteWholeFile(pieces / "Film.Avi_2.Brf", "two ");
    WriteWholeFile(pieces / "film.avi_3.brf", "three");
    JoinPieces(pieces / "film.avi_3.brf", target.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "one two three");

    WriteWholeFile(pieces / "Фильм_1.brf", "раз ");
    WriteWholeFile(pieces / "ФИЛЬМ_2.brf", "два");
    RecordingHooks cyrillic;
    JoinPieces(pieces / "фильм_1.brf", target.Path(), cyrillic);
    EXPECT_EQ(ReadWholeFile(target / "фильм"), "раз два");
}

TEST_F(JoinTest, MissingPieceIsNamedAndNothingIsWritten) {
    for (int n : {1, 2, 4, 5}) WriteWholeFile(PiecePath(pieces.Path(), "film.avi", n), "x");
    WriteWholeFile(target / "film.avi", "earlier file");
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              std::vector<std::string>{"Часть " + pieces / "film.avi_3.brf" + " не найдена!"});
    EXPECT_TRUE(hooks.Of("status").empty());
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "earlier file");
    EXPECT_EQ(FolderEntries(target.Path()), std::vector<std::string>{"film.avi"});
}

TEST_F(JoinTest, SeveralMissingPiecesAreListedAFewAtMost) {
    for (int n : {1, 4}) WriteWholeFile(PiecePath(pieces.Path(), "f", n), "x");
    JoinPieces(pieces / "f_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), std::vector<std::string>{"Части " + pieces / "f_2.brf" + ", " +
                                                            pieces / "f_3.brf" + " не найдены!"});

    WriteWholeFile(pieces / "f_1000000000000.brf", "far away");
    RecordingHooks many;
    JoinPieces(pieces / "f_1.brf", target.Path(), many);
    std::string names;
    for (int n : {2, 3, 5, 6, 7}) names += PiecePath(pieces.Path(), "f", n) + ", ";
    EXPECT_EQ(many.Of("message"), std::vector<std::string>{"Части " + names + "... не найдены!"});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(JoinTest, NoPieceFoundCreatesNothing) {
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"message: Части файла " + pieces / "film.avi" +
                                                    " не найдены!"});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());

    WriteWholeFile(pieces / "film.avi", "the whole file");
    RecordingHooks whole;
    JoinPieces(pieces / "film.avi", pieces.Path(), whole);
    EXPECT_EQ(whole.Of("message"),
              (std::vector<std::string>{kNotVarnok,
                                        "Части файла " + pieces / "film.avi" + " не найдены!"}));
    EXPECT_EQ(ReadWholeFile(pieces / "film.avi"), "the whole file");

    // A check file of the whole file alone (the disk method's whole copy) lists no piece.
    WriteWholeFile(pieces / "film.avi.sha256", CheckLine(std::string(64, 'a'), "film.avi"));
    RecordingHooks copy;
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), copy);
    EXPECT_EQ(copy.Of("message"),
              std::vector<std::string>{"Части файла " + pieces / "film.avi" + " не найдены!"});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(JoinTest, OutputHeldOpenIsLeftUntouched) {
    WritePieces(pieces.Path(), "film.avi", "new content", 4);
    WriteWholeFile(target / "film.avi", "held");
    const std::string refused = "Невозможно заменить файл " + target / "film.avi" +
                                "! Возможно, он открыт другой программой.";
    {
        LockedFile lock(target / "film.avi");
        ASSERT_TRUE(lock.IsOpen());
        JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    }
    EXPECT_EQ(hooks.Of("message"), std::vector<std::string>{refused});
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "held");

    // Taken by another program only while the pieces are copied: the replace itself fails.
    LockingHooks locking;
    locking.lockPath = target / "film.avi";
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), locking);
    locking.lock.reset();
    EXPECT_EQ(locking.Of("message"), std::vector<std::string>{refused});
    EXPECT_EQ(locking.Of("status").size(), 3u);
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "held");
    EXPECT_EQ(FolderEntries(target.Path()), std::vector<std::string>{"film.avi"});
}

TEST_F(JoinTest, PieceThatCannotBeOpenedStopsTheJoin) {
    WritePieces(pieces.Path(), "film.avi", "abcdefghij", 3);
    WriteWholeFile(target / "film.avi", "before");
    {
        LockedFile lock(pieces / "film.avi_2.brf");
        JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    }
    EXPECT_EQ(hooks.Of("message"),
              std::vector<std::string>{"Невозможно открыть часть " + pieces / "film.avi_2.brf" +
                                       " для чтения!"});
    EXPECT_EQ(hooks.Of("status").size(), 2u);
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "before");
    EXPECT_EQ(FolderEntries(target.Path()), std::vector<std::string>{"film.avi"});
}

TEST_F(JoinTest, FullDiskLeavesTheOutputUntouched) {
    WritePieces(pieces.Path(), "film.avi", PatternBytes(5000, 9), 1000);
    WriteWholeFile(target / "film.avi", "kept");
    const std::string gathering = GatheringPath(target / "film.avi");
    FullDeviceLink full(target.Path(), FileNamePart(gathering));
    ASSERT_TRUE(full.Made());
    {
        FileStream device = OpenWriteStream(gathering);
        ASSERT_TRUE(device.IsOpen());
        ASSERT_EQ(device.Write("x", 1), 0u) << "the link must refuse writes as a full disk does";
    }
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              std::vector<std::string>{"Невозможно записать файл " + target / "film.avi" +
                                       " полностью! Возможно, на диске нет места."});
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "kept");
}

TEST_F(JoinTest, EmptyPiecesAreRefused) {
    // A device reads without end but lists no size.
    WritePieces(pieces.Path(), "film.avi", "abcdef", 2);
    RemoveFile(pieces / "film.avi_2.brf");
    FullDeviceLink full(pieces.Path(), "film.avi_2.brf");
    ASSERT_TRUE(full.Made());
    WriteWholeFile(pieces / "empty_1.brf", "");
    for (const std::string base : {"film.avi", "empty"}) {
        RecordingHooks joined;
        JoinPieces(pieces / (base + "_1.brf"), target.Path(), joined);
        const std::string piece = base == "empty" ? "empty_1.brf" : "film.avi_2.brf";
        EXPECT_EQ(joined.Of("message"),
                  std::vector<std::string>{"Часть " + pieces / piece + " пуста!"});
    }
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(JoinTest, LeftoverGatheringFileAndLongerOutputAreCut) {
    WritePieces(pieces.Path(), "film.avi", "short", 2);
    WriteWholeFile(GatheringPath(pieces / "film.avi"), std::string(10000, 'g'));
    WriteWholeFile(pieces / "film.avi", std::string(10000, 'o'));
    JoinPieces(pieces / "film.avi_1.brf", pieces.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(pieces / "film.avi"), "short");
    EXPECT_EQ(FolderEntries(pieces.Path()),
              (std::vector<std::string>{"film.avi", "film.avi_1.brf", "film.avi_2.brf",
                                        "film.avi_3.brf"}));
}

TEST_F(JoinTest, TargetFolderIsMadeOneLevelDeepOnly) {
    WritePieces(pieces.Path(), "film.avi", "abc", 2);
    JoinPieces(pieces / "film.avi_1.brf", target / "a\\b\\", hooks);
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"message: " + kNoFolder});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());

    RecordingHooks empty;
    JoinPieces(pieces / "film.avi_1.brf", "", empty);
    EXPECT_EQ(empty.calls, std::vector<std::string>{"message: " + kNoFolder});

    RecordingHooks oneLevel;
    JoinPieces(pieces / "film.avi_1.brf", target / "a\\", oneLevel);
    EXPECT_EQ(ReadWholeFile(target / "a\\film.avi"), "abc");
}

TEST(JoinFailures, AFailureNamesTheOutputNotTheGatheringFile) {
    TempFolder folder;
    WriteWholeFile(folder / "f.bin_1.brf", "0123");
    MakeFolder(folder / "out\\");
    MakeFolder(GatheringPath(folder / "out\\f.bin"));
    RecordingHooks hooks;
    JoinPieces(folder / "f.bin_1.brf", folder / "out\\", hooks);
    EXPECT_EQ(hooks.Of("message"), std::vector<std::string>{"Невозможно создание файла " +
                                                            (folder / "out\\f.bin") + "!"});
    EXPECT_FALSE(FileExists(folder / "out\\f.bin"));
}
