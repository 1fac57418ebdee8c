// The check file a split writes beside its pieces: its exact bytes for every method, on every
// disk, after a shorter re-split, and none left by a split that stops or fails.
#include "engine/checkfile/CheckFile.h"

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/pieces/PieceSet.h"
#include "engine/digest/Sha256.h"
#include "engine/join/Join.h"
#include "engine/split/Split.h"
#include "engine/system/Utf8.h"

namespace {

using Texts = std::vector<std::string>;

std::string Digits(const std::string& bytes) { return *Sha256Of(bytes.data(), bytes.size()); }

// The check file as it must be for pieces of the given sizes, and the whole file's line when
// complete; names in UTF-8, or in CP1251 as older versions wrote them.
std::string Expected(const std::string& bytes, const std::string& name,
                     const std::vector<size_t>& sizes, bool complete, bool utf8 = true) {
    const auto line = [&](const std::string& part, const std::string& file) {
        return Digits(part) + "  " + (utf8 ? Utf8FromCp1251(file) : file) + "\r\n";
    };
    std::string text;
    size_t at = 0;
    for (size_t n = 0; n < sizes.size(); ++n) {
        text += line(bytes.substr(at, sizes[n]), PieceName(name, n + 1));
        at += sizes[n];
    }
    if (complete) text += line(bytes, name);
    return text;
}

// Disks in one folder; at every insert-disk prompt after the first the check file on the
// disk just written is kept, as the user would find it on that disk.
struct DiskHooks : ProgressHooks {
    std::string checkPath;
    Texts checkOnDisk;
    bool AskOkCancel(const std::string& text) override {
        const bool ok = RecordingHooks::AskOkCancel(text);
        if (text.rfind("Вставте другой диск", 0) == 0 && FileExists(checkPath))
            checkOnDisk.push_back(ReadWholeFile(checkPath));
        return ok;
    }
};

} // namespace

TEST(CheckFileText, LinesAsSha256sumWritesAndReadsThem) {
    const std::string digits(64, 'a');
    EXPECT_EQ(CheckFileName("film.avi"), "film.avi.sha256");
    EXPECT_EQ(CheckLine(digits, "film.avi_1.brf"), digits + "  film.avi_1.brf\r\n");
    const ParsedCheckFile parsed =
        ParseCheckFile(digits + "  a b_1.brf\r\n" + std::string(64, 'F') + " *a b\n");
    EXPECT_EQ(parsed.badLine, 0u);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].name, "a b_1.brf");
    EXPECT_EQ(parsed.entries[1].digits, std::string(64, 'f')) << "digits are read in any case";
    EXPECT_EQ(parsed.entries[1].name, "a b");
    EXPECT_TRUE(ParseCheckFile("").entries.empty());
    for (const auto& [text, bad] : std::vector<std::pair<std::string, size_t>>{
             {digits + "  x\r\n" + digits.substr(1) + "  y\r\n", 2},
             {digits + " x\r\n", 1},
             {digits + "  \r\n", 1},
             {digits + "  x\r\n\r\n" + digits + " y\r\n", 3},
             {std::string(63, 'a') + "g  x", 1},
             {"not a check file at all", 1}}) {
        EXPECT_EQ(ParseCheckFile(text).badLine, bad) << text;
    }
}

TEST(CheckFileText, NamesAreReadAsUtf8WhenAllAreAndAsTheCodePageOtherwise) {
    const std::string digits(64, 'a');
    const std::string utf8 = Utf8FromCp1251("Отчёт.dat");
    ParsedCheckFile parsed =
        ParseCheckFile(digits + "  " + utf8 + "_1.brf\r\n" + digits + "  " + utf8 + "\r\n");
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].name, "Отчёт.dat_1.brf");
    EXPECT_EQ(parsed.entries[1].name, "Отчёт.dat");
    // Older versions wrote the program's own bytes.
    parsed = ParseCheckFile(digits + "  Отчёт.dat_1.brf\r\n" + digits + "  Отчёт.dat\r\n");
    EXPECT_EQ(parsed.entries[0].name, "Отчёт.dat_1.brf");
    EXPECT_EQ(parsed.foreignLine, 0u);
    // A UTF-8 name the code page lacks a character of names no file this program can open.
    parsed = ParseCheckFile(digits + "  a_1.brf\n" + digits + "  \xE6\x97\xA5.brf\n");
    EXPECT_EQ(parsed.foreignLine, 2u);
}

TEST(CheckFileText, AFileSavedByAnEditorReadsAsItsLines) {
    const std::string digits(64, 'a');
    const std::string utf8 = Utf8FromCp1251("Отчёт.dat");
    // Notepad's byte-order mark, a blank line between and blank lines at the end.
    ParsedCheckFile parsed =
        ParseCheckFile("\xEF\xBB\xBF" + digits + "  " + utf8 + "_1.brf\r\n\r\n" + digits + "  " +
                       utf8 + "\r\n \r\n\r\n");
    EXPECT_EQ(parsed.badLine, 0u);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].name, "Отчёт.dat_1.brf");
    EXPECT_EQ(parsed.entries[1].name, "Отчёт.dat");
    // Line numbers still count the blank lines.
    parsed = ParseCheckFile("\n" + digits + "  a_1.brf\n\n" + digits + "  \xE6\x97\xA5.brf\n");
    EXPECT_EQ(parsed.foreignLine, 4u);
    EXPECT_EQ(ParseCheckFile("\xEF\xBB\xBFnot a line\n").badLine, 1u);
}

TEST(SplitCheckFile, ExactBytesBySizeAndByCount) {
    TempFolder folder;
    const std::string bytes = PatternBytes(10000, 21);
    WriteWholeFile(folder / "film.avi", bytes);
    RecordingHooks bySize;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "s\\", SplitMethod::BySize, 3000),
              bySize);
    EXPECT_EQ(ReadWholeFile(folder / "s\\film.avi.sha256"),
              Expected(bytes, "film.avi", {3000, 3000, 3000, 1000}, true));
    RecordingHooks byCount;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "c\\", SplitMethod::ByCount, 3),
              byCount);
    EXPECT_EQ(ReadWholeFile(folder / "c\\film.avi.sha256"),
              Expected(bytes, "film.avi", {3333, 3333, 3334}, true));

    // A shorter re-split into the same folder makes the file afresh: no line of the old set.
    const std::string second = PatternBytes(5000, 22);
    WriteWholeFile(folder / "film.avi", second);
    RecordingHooks again;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "s\\", SplitMethod::ByCount, 2), again);
    EXPECT_EQ(ReadWholeFile(folder / "s\\film.avi.sha256"),
              Expected(second, "film.avi", {2500, 2500}, true));
    EXPECT_EQ(FolderEntries(folder / "s\\"),
              (Texts{"film.avi.sha256", "film.avi_1.brf", "film.avi_2.brf"}));
}

TEST(SplitCheckFile, EachDiskTellsThePiecesSoFarAndTheLastOneTheWholeFile) {
    TempFolder folder;
    const std::string bytes = PatternBytes(10000, 23);
    WriteWholeFile(folder / "film.avi", bytes);
    DiskHooks hooks;
    hooks.checkPath = folder / "A\\film.avi.sha256";
    // 4000 bytes free on each disk; a small set's check file keeps one 512-byte cluster.
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "A\\", SplitMethod::OntoDisks, 0),
              hooks,
              ScriptedSystem([](const std::string&) { return std::optional<uint64_t>(4000); }));
    ASSERT_EQ(PieceSizes(folder / "A\\", "film.avi"), (std::vector<int64_t>{3488, 3488, 3024}));
    EXPECT_EQ(JoinedPieces(folder / "A\\", "film.avi"), bytes);
    EXPECT_EQ(hooks.checkOnDisk, (Texts{Expected(bytes, "film.avi", {3488}, false),
                                        Expected(bytes, "film.avi", {3488, 3488}, false)}));
    EXPECT_EQ(ReadWholeFile(hooks.checkPath),
              Expected(bytes, "film.avi", {3488, 3488, 3024}, true));

    // The cluster is kept even when the file is far smaller: a disk with room for the pieces
    // but not for one cluster more gets no piece, and the user is asked for another.
    DiskHooks tight;
    tight.checkPath = folder / "B\\film.avi.sha256";
    std::vector<uint64_t> free{10000, 512, 10512};
    size_t next = 0;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "B\\", SplitMethod::OntoDisks, 0),
              tight, ScriptedSystem([&](const std::string&) {
                  return std::optional<uint64_t>(free[std::min(next++, free.size() - 1)]);
              }));
    EXPECT_EQ(PieceSizes(folder / "B\\", "film.avi"), (std::vector<int64_t>{9488, 512}));
    EXPECT_EQ(tight.Of("ask").size(), 3u) << "insert, insert, no free space";
    EXPECT_EQ(ReadWholeFile(tight.checkPath), Expected(bytes, "film.avi", {9488, 512}, true));
}

TEST(SplitCheckFile, TheWholeFileCopyHasItsOneLine) {
    TempFolder folder;
    const std::string bytes = PatternBytes(1000, 24);
    WriteWholeFile(folder / "film.avi", bytes);
    RecordingHooks hooks;
    // Room for the file and its check file's cluster: the copy offer.
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "A\\", SplitMethod::OntoDisks, 0),
              hooks,
              ScriptedSystem([](const std::string&) { return std::optional<uint64_t>(1512); }));
    EXPECT_EQ(ReadWholeFile(folder / "A\\film.avi"), bytes);
    EXPECT_EQ(ReadWholeFile(folder / "A\\film.avi.sha256"), Digits(bytes) + "  film.avi\r\n");
    // One byte less, and the file is split instead.
    RecordingHooks split;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "B\\", SplitMethod::OntoDisks, 0),
              split,
              ScriptedSystem([](const std::string&) { return std::optional<uint64_t>(1511); }));
    EXPECT_EQ(PieceSizes(folder / "B\\", "film.avi"), (std::vector<int64_t>{999, 1}));
}

TEST(SplitCheckFile, AStoppedOrFailedSplitLeavesNoCheckFileOfItsOwn) {
    CopyBufferScope shrunk(100);
    PaceEveryBuffer pace;
    TempFolder folder;
    WriteWholeFile(folder / "film.avi", PatternBytes(3000, 25));
    for (SplitMethod method : {SplitMethod::BySize, SplitMethod::ByCount}) {
        for (int stopAt : {3, 12, 31}) {
            SCOPED_TRACE(stopAt);
            ProgressHooks hooks;
            hooks.stopAtYield = stopAt;
            // An older check file of the same name, replaced once piece 1 is opened, goes too:
            // it described pieces the split has overwritten.
            WriteWholeFile(folder / "out\\film.avi.sha256", "older");
            SplitFile(SplitRequestFor(folder / "film.avi", folder / "out\\", method,
                                      method == SplitMethod::BySize ? 1000 : 3),
                      hooks);
            EXPECT_TRUE(hooks.Of("message").empty());
            EXPECT_FALSE(FileExists(folder / "out\\film.avi.sha256"));
            EXPECT_FALSE(FileExists(folder / "out\\film.avi_1.brf"));
        }
    }
    // Stopped before piece 1 is opened: an older check file is no file of this split's.
    WriteWholeFile(folder / "out\\film.avi.sha256", "older");
    ProgressHooks early;
    early.stopAtYield = 1;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "out\\", SplitMethod::ByCount, 3),
              early);
    EXPECT_EQ(ReadWholeFile(folder / "out\\film.avi.sha256"), "older");
    RemoveFile(folder / "out\\film.avi.sha256");

    // A piece that cannot be written in full: the pieces go, and their check file with them.
    FullDeviceLink full(folder / "out\\", "film.avi_2.brf");
    ASSERT_TRUE(full.Made());
    RecordingHooks failed;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "out\\", SplitMethod::ByCount, 3),
              failed);
    EXPECT_EQ(failed.Of("message"), Texts{"Невозможно записать часть " +
                                          (folder / "out\\film.avi_2.brf") + " полностью!"});
    EXPECT_FALSE(FileExists(folder / "out\\film.avi.sha256"));
    EXPECT_FALSE(FileExists(folder / "out\\film.avi_1.brf"));

    // A check file name taken by a folder: nothing is written.
    MakeFolder(folder / "taken\\");
    MakeFolder(folder / "taken\\film.avi.sha256");
    RecordingHooks taken;
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "taken\\", SplitMethod::ByCount, 3),
              taken);
    EXPECT_EQ(taken.Of("message"),
              Texts{"Невозможно создание файла " + (folder / "taken\\film.avi.sha256") + "!"});
    EXPECT_EQ(FolderEntries(folder / "taken\\"), Texts{"film.avi.sha256"});
}

TEST(SplitCheckFile, CancelAtADiskPromptKeepsTheDisksAndTheirUnfinishedCheckFiles) {
    TempFolder folder;
    const std::string bytes = PatternBytes(10000, 26);
    WriteWholeFile(folder / "film.avi", bytes);
    DiskHooks hooks;
    hooks.checkPath = folder / "A\\film.avi.sha256";
    hooks.answers = {true, true, false}; // disk 1, disk 2, then Cancel before disk 3
    SplitFile(SplitRequestFor(folder / "film.avi", folder / "A\\", SplitMethod::OntoDisks, 0),
              hooks,
              ScriptedSystem([](const std::string&) { return std::optional<uint64_t>(4000); }));
    EXPECT_EQ(PieceSizes(folder / "A\\", "film.avi"), (std::vector<int64_t>{3488, 3488}));
    EXPECT_EQ(ReadWholeFile(hooks.checkPath), Expected(bytes, "film.avi", {3488, 3488}, false));
}

// A set with Cyrillic names as other tools see it: sha256sum checks it on the files as Wine wrote
// them, finds a changed byte, and a check file in the code page older versions wrote still joins.
TEST(SplitCheckFile, CyrillicNamesAreUtf8ForSha256sumAndOlderFilesStillJoin) {
    TempFolder folder;
    const std::string bytes = PatternBytes(5000, 25);
    WriteWholeFile(folder / "Отчёт.dat", bytes);
    RecordingHooks split;
    SplitFile(SplitRequestFor(folder / "Отчёт.dat", folder / "s\\", SplitMethod::BySize, 2000),
              split);
    ASSERT_EQ(split.Of("message"), Texts{"Разделение файла Отчёт.dat завершенно"});
    const std::string check = folder / "s\\Отчёт.dat.sha256";
    EXPECT_EQ(ReadWholeFile(check), Expected(bytes, "Отчёт.dat", {2000, 2000, 1000}, true));
    const std::string utf8 = Utf8FromCp1251("Отчёт.dat");
    // The whole file is not beside its pieces: sha256sum checks what is there.
    const std::string command = "LC_ALL=C sha256sum -c --ignore-missing '" + utf8 + ".sha256'";
    std::optional<UnixRun> run = RunUnixShell(command, folder / "s\\");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->exitCode, 0) << run->output;
    EXPECT_NE(run->output.find(utf8 + "_3.brf: OK"), std::string::npos) << run->output;

    std::string piece2 = ReadWholeFile(folder / "s\\Отчёт.dat_2.brf");
    piece2[100] ^= 1;
    WriteWholeFile(folder / "s\\Отчёт.dat_2.brf", piece2);
    run = RunUnixShell(command, folder / "s\\");
    ASSERT_TRUE(run);
    EXPECT_NE(run->exitCode, 0) << run->output;
    piece2[100] ^= 1;
    WriteWholeFile(folder / "s\\Отчёт.dat_2.brf", piece2);

    // The same set with the lines as older versions wrote them, in CP1251.
    WriteWholeFile(check, Expected(bytes, "Отчёт.dat", {2000, 2000, 1000}, true, false));
    RecordingHooks join;
    JoinPieces(folder / "s\\Отчёт.dat_2.brf", folder / "out\\", join);
    EXPECT_EQ(join.Of("message"),
              Texts{"Востановление файла " + (folder / "out\\") +
                    "Отчёт.dat завершенно\r\nВсе части проверены по Отчёт.dat.sha256."});
    EXPECT_EQ(ReadWholeFile(folder / "out\\Отчёт.dat"), bytes);
}

TEST(SplitCheckFile, ASetWhoseCheckFileAnEditorSavedStillJoinsChecked) {
    TempFolder pieces, target;
    const std::string bytes = PatternBytes(9000, 8);
    WriteWholeFile(pieces / "Отчёт.dat", bytes);
    RecordingHooks split;
    SplitFile(SplitRequestFor(pieces / "Отчёт.dat", pieces.Path(), SplitMethod::ByCount, 3),
              split);
    ASSERT_EQ(split.Of("message"), Texts{"Разделение файла Отчёт.dat завершенно"});
    RemoveFile(pieces / "Отчёт.dat");
    // Opened in Notepad and saved as UTF-8: a byte-order mark, and a blank line added at the end.
    const std::string checkPath = pieces / "Отчёт.dat.sha256";
    WriteWholeFile(checkPath, "\xEF\xBB\xBF" + ReadWholeFile(checkPath) + "\r\n");
    RecordingHooks join;
    JoinPieces(PiecePath(pieces.Path(), "Отчёт.dat", 2), target.Path(), join);
    EXPECT_EQ(join.Of("message"),
              Texts{"Востановление файла " + target.Path() +
                    "Отчёт.dat завершенно\r\nВсе части проверены по Отчёт.dat.sha256."});
    EXPECT_TRUE(ReadWholeFile(target / "Отчёт.dat") == bytes);
}
