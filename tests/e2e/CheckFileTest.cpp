// The check file on the running program: a damaged piece named by the join's box, the checked
// line once it is whole again, and a set whose split was killed refused as unfinished.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"

TEST(CheckFile, ADamagedPieceIsNamedAndTheRestoredSetJoinsChecked) {
    TempFolder temp;
    const std::string bytes = PatternBytes(10000, 17);
    WriteWholeFile(temp / "film.avi", bytes);
    VarnokProcess varnok;
    SplitControls split(varnok);
    ASSERT_TRUE(split.PrepareByCount(temp / "film.avi", temp / "parts\\", "3"));
    VarnokProcess::Click(split.split);
    ShownBox done = varnok.WaitForBox();
    EXPECT_EQ(done.text, "Разделение файла film.avi завершенно");
    varnok.Answer(done, IDOK);
    ASSERT_TRUE(FileExists(temp / "parts\\film.avi.sha256"));

    // One bit of piece 2 flipped on the disk, as a bad sector would.
    const std::string piece2 = temp / "parts\\film.avi_2.brf";
    const std::string original = ReadWholeFile(piece2);
    std::string damaged = original;
    damaged[100] ^= 0x08;
    WriteWholeFile(piece2, damaged);
    ASSERT_TRUE(StartJoin(varnok, temp / "parts\\film.avi_1.brf", temp / "out\\"));
    ShownBox refused = varnok.WaitForBox();
    EXPECT_EQ(refused.caption, "Varnok");
    EXPECT_EQ(refused.text, "Часть " + piece2 +
                                " повреждена или изменена после разделения: её сумма SHA-256 не "
                                "совпадает с указанной в film.avi.sha256. Соединение прервано.");
    varnok.Answer(refused, IDOK);
    EXPECT_TRUE(FolderEntries(temp / "out\\").empty()) << "no output, no gathering file";

    WriteWholeFile(piece2, original);
    JoinControls join(varnok);
    VarnokProcess::Click(join.join);
    done = varnok.WaitForBox();
    const std::string completed = "Востановление файла " + (temp / "out\\") + "film.avi завершенно";
    EXPECT_EQ(done.text, completed + "\r\nВсе части проверены по film.avi.sha256.");
    varnok.Answer(done, IDOK);
    EXPECT_EQ(varnok.StatusText(1), completed);
    EXPECT_TRUE(ReadWholeFile(temp / "out\\film.avi") == bytes);
}

TEST(CheckFile, ASetWhoseSplitWasKilledIsRefusedAsUnfinished) {
    TempFolder temp;
    WriteWholeFile(temp / "big.bin", PatternBytes(256u << 20, 18));
    {
        VarnokProcess varnok;
        SplitControls split(varnok);
        ASSERT_TRUE(split.PrepareByCount(temp / "big.bin", temp / "parts\\", "4"));
        VarnokProcess::Click(split.split);
        // Killed while piece 2 is written: piece 1 is whole and listed, piece 2 is not.
        ASSERT_TRUE(WaitUntil(
            [&] { return varnok.StatusText(1).find("big.bin_2.brf") != std::string::npos; },
            60000));
        ASSERT_TRUE(TerminateProcess(varnok.Process(), 1));
        ASSERT_EQ(varnok.WaitForExit(), std::optional<DWORD>(1));
    }
    ASSERT_TRUE(FileExists(temp / "parts\\big.bin_2.brf"));
    VarnokProcess varnok;
    ASSERT_TRUE(StartJoin(varnok, temp / "parts\\big.bin_2.brf", temp / "out\\"));
    const ShownBox refused = varnok.WaitForBox();
    const std::string unfinished =
        "Набор частей " + (temp / "parts\\") +
        "big.bin не полон: разделение не было завершено или скопированы не все диски. В файле "
        "проверки big.bin.sha256 нет строки всего файла; последняя указанная в нём часть: ";
    EXPECT_EQ(refused.text.substr(0, unfinished.size()), unfinished) << refused.text;
    const std::string last = refused.text.substr(std::min(unfinished.size(), refused.text.size()));
    EXPECT_TRUE(last == (temp / "parts\\big.bin_1.brf.") ||
                last == (temp / "parts\\big.bin_2.brf."))
        << last;
    varnok.Answer(refused, IDOK);
    EXPECT_TRUE(FolderEntries(temp / "out\\").empty());
}
