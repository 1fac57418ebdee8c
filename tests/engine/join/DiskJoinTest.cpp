// The join of a set written by the disk method, straight from its disks: each disk asked for in
// turn on a scripted drive, every disk's check file held against the others, and the ways out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "DiskSets.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"

namespace {

using Texts = std::vector<std::string>;

struct DiskJoin : ::testing::Test {
    TempFolder folder, target;
    DiskDrive drive{folder.Path()};
    const std::string bytes = PatternBytes(10000, 41);

    void SetUp() override {
        // Pieces of 4000, 4000 and 2000 bytes on three disks.
        ASSERT_EQ(drive.WriteSet("film.avi", bytes, {4000, 4000, 4000}), 3u);
        WriteWholeFile(target / "film.avi", "the old file");
    }

    std::string Letter() const { return drive.Root().substr(0, 1); }
    std::string Piece(int64_t n) const { return PiecePath(drive.Root(), "film.avi", n); }
    std::string Ask(int64_t n) const {
        return "Вставте диск " + Letter() + " с частью film.avi_" + std::to_string(n) +
               ".brf.\r\n«Да» — диск вставлен, «Нет» — этого диска нет (часть будет "
               "восстановлена по томам восстановления, если их хватит), «Отмена» — прервать "
               "соединение.";
    }
    // The question for piece n while the set's count is not known after a lost disk.
    std::string AskPast(int64_t n) const {
        return "Вставте диск " + Letter() + " с частью film.avi_" + std::to_string(n) +
               ".brf или, если такой части в наборе нет (потерян последний диск), диск с томами "
               "восстановления.\r\n«Да» — диск вставлен, «Нет» — этого диска нет (часть будет "
               "восстановлена по томам восстановления, если их хватит), «Отмена» — прервать "
               "соединение.";
    }
    // The question for a disk with recovery volumes: name, or any when empty.
    std::string AskVolume(const std::string& name, int needed) const {
        const std::string volumes = needed == 1 ? " том" : " тома";
        const std::string what = name.empty() ? "с томами восстановления набора film.avi"
                                              : "с файлом восстановления " + name;
        return "Для восстановления потерянных частей нужно ещё " + std::to_string(needed) +
               volumes + " восстановления.\r\nВставте диск " + Letter() + " " + what +
               ".\r\n«Да» — диск вставлен, «Нет» — этого диска нет (будет попрошен другой диск "
               "с томами восстановления), «Отмена» — прервать соединение.";
    }
    std::string LostOnDisk(int64_t n) const {
        return "Часть " + Piece(n) +
               " повреждена или не читается полностью. Соединение продолжится без неё: часть "
               "будет восстановлена по томам восстановления, если их хватит.";
    }
    std::string NotOnDisk(int64_t n) const {
        return "На диске " + Letter() + " нет части film.avi_" + std::to_string(n) + ".brf.\r\n" +
               Ask(n);
    }
    std::string Done() const {
        return "Востановление файла " + target.Path() + "film.avi завершенно";
    }
    std::string Stopped() const {
        return "Востановление файла " + target.Path() + "film.avi прервано";
    }

    void Join(DiskSwapHooks& hooks, int64_t chosen = 1) {
        JoinPieces(Piece(chosen), target.Path(), hooks, drive.System());
    }

    void ExpectJoined(const DiskSwapHooks& hooks, int64_t disks = 3) {
        EXPECT_EQ(hooks.Of("message"),
                  Texts{Done() +
                        "\r\nВсе части проверены по film.avi.sha256.\r\nНабор частей "
                        "собран с " +
                        std::to_string(disks) + " дисков."});
        EXPECT_EQ(hooks.Of("status").back(), Done());
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"}) << "no gathering file";
    }

    // Nothing under the output's name but the old file, and no gathering file.
    void ExpectNothingWritten() {
        EXPECT_EQ(ReadWholeFile(target / "film.avi"), "the old file");
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
    }
};

} // namespace

TEST_F(DiskJoin, EachDiskIsAskedForInTurnAndTheFileComesBackWhole) {
    PaceEveryBuffer pace;
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), Ask(3)}));
    ExpectJoined(hooks);
    // Each piece is read once; the status tells how many pieces the set has once it is known.
    const Texts status = hooks.Of("status");
    EXPECT_EQ(status.size(), 4u);
    EXPECT_EQ(status[0], "Востановление файла " + target.Path() + "film.avi из части " + Piece(1) +
                             " (часть 1, всего частей пока не известно)");
    EXPECT_EQ(status[2], "Востановление файла " + target.Path() + "film.avi из части " + Piece(3) +
                             " (часть 3 из 3)");
    // The piece list grows with every disk's check file.
    EXPECT_EQ(hooks.Of("list"), (Texts{Piece(1), Piece(1) + " " + Piece(2),
                                       Piece(1) + " " + Piece(2) + " " + Piece(3)}));
    // The progress counts the whole set as far as it is known, and never goes back.
    ASSERT_FALSE(hooks.figures.empty());
    for (size_t i = 1; i < hooks.figures.size(); ++i)
        EXPECT_GE(hooks.figures[i].done, hooks.figures[i - 1].done);
    EXPECT_EQ(hooks.figures.back().done, 10000);
    EXPECT_EQ(hooks.figures.back().total, 10000);
}

TEST_F(DiskJoin, DisksInTheWrongOrderOrTheSameDiskAgainAreAskedForAgain) {
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {1, 3, 2, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), NotOnDisk(2), NotOnDisk(2), Ask(3)}));
    ExpectJoined(hooks);
}

TEST_F(DiskJoin, ADiskOfAnotherSetIsToldAndTheRightOneAskedForAgain) {
    TempFolder otherFolder;
    DiskDrive other(otherFolder.Path());
    ASSERT_EQ(other.WriteSet("film.avi", PatternBytes(10000, 42), {4000, 4000, 4000}), 3u);
    drive.Insert(1);
    // The other set's disk 2 comes first in place of this set's disk 2.
    DiskSwapHooks hooks(drive, Texts{other.Disk(2), drive.Disk(2), drive.Disk(3)});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"),
              (Texts{Ask(2),
                     "Диск " + Letter() +
                         " относится к другому набору частей: его файл проверки film.avi.sha256 "
                         "не совпадает с файлами проверки прочитанных дисков.\r\n" +
                         Ask(2),
                     Ask(3)}));
    ExpectJoined(hooks);
}

// A piece that fails its line is lost as a disk not there is: told once, the join goes on, and
// a set without recovery volumes then has nothing to rebuild it from.
TEST_F(DiskJoin, AChangedPieceIsToldOnceAndWithoutVolumesNothingIsWritten) {
    std::string piece = ReadWholeFile(drive.Disk(2) + "film.avi_2.brf");
    piece[100] ^= 0x20;
    WriteWholeFile(drive.Disk(2) + "film.avi_2.brf", piece);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{LostOnDisk(2)});
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), AskPast(3), AskVolume("", 1)}));
    EXPECT_EQ(hooks.Of("status").back(), Stopped());
    ExpectNothingWritten();
}

TEST_F(DiskJoin, CancelOrAStopEndsTheJoinWithNoOutputAndNoGatheringFile) {
    drive.Insert(1);
    DiskSwapHooks cancelled(drive, {2, 0});
    Join(cancelled);
    EXPECT_EQ(cancelled.Of("choose"), (Texts{Ask(2), Ask(3)}));
    EXPECT_TRUE(cancelled.Of("message").empty());
    EXPECT_EQ(cancelled.Of("status").back(), Stopped());
    ExpectNothingWritten();

    // A stop asked for while piece 2 is copied (the window closed) ends it the same way.
    drive.Insert(1);
    PaceEveryBuffer pace;
    CopyBufferScope small(1000);
    DiskSwapHooks stopped(drive, {2, 3});
    stopped.onKeep = [&] {
        if (stopped.Of("status").size() == 2 && stopped.stopAtYield == 0)
            stopped.stopAtYield = stopped.yields + 2;
    };
    Join(stopped);
    EXPECT_EQ(stopped.Of("choose"), Texts{Ask(2)});
    EXPECT_TRUE(stopped.Of("message").empty());
    EXPECT_EQ(stopped.Of("status").back(), Stopped());
    ExpectNothingWritten();
}

TEST_F(DiskJoin, StartingFromTheLastDiskAsksForPiece1First) {
    drive.Insert(3);
    DiskSwapHooks hooks(drive, {1, 2, 3});
    Join(hooks, 3);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(1), Ask(2), Ask(3)}));
    ExpectJoined(hooks);
    // From disk 2 alike.
    drive.Insert(2);
    WriteWholeFile(target / "film.avi", "the old file");
    DiskSwapHooks again(drive, {1, 2, 3});
    Join(again, 2);
    EXPECT_EQ(again.Of("choose"), (Texts{Ask(1), Ask(2), Ask(3)}));
    ExpectJoined(again);
}

TEST_F(DiskJoin, TheOutputFolderOnTheSwappedDriveIsRefusedBeforeAnything) {
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, 3});
    const std::string onDrive = drive.Root() + "out\\";
    JoinPieces(Piece(1), onDrive, hooks, drive.System());
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Папка " + onDrive + " для соединёного файла находится на диске " +
                    drive.Root() +
                    ", в котором сменяются диски с частями. Выберите папку на другом диске."});
    EXPECT_TRUE(hooks.Of("choose").empty());
    EXPECT_FALSE(FileExists(onDrive)) << "the folder is not made";
}

TEST_F(DiskJoin, ASetCopiedIntoOneFolderJoinsAsBeforeWithoutAPrompt) {
    // Every disk copied onto one stick, the last disk's check file over the others'.
    for (size_t n = 1; n <= 3; ++n) {
        drive.Insert(n);
        for (const std::string& name : FolderEntries(drive.Root()))
            CopyFileA((drive.Root() + name).c_str(), (folder / name).c_str(), FALSE);
    }
    drive.Insert(0);
    for (const std::string& name : FolderEntries(folder.Path()))
        if (name.find("film.avi") == 0)
            MoveFileA((folder / name).c_str(), (drive.Root() + name).c_str());
    DiskSwapHooks hooks(drive, Texts{});
    Join(hooks, 2);
    EXPECT_TRUE(hooks.Of("choose").empty());
    EXPECT_EQ(hooks.Of("message"), Texts{Done() + "\r\nВсе части проверены по film.avi.sha256."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);

    // One disk's folder on a fixed drive is joined as before too: it is refused as unfinished.
    RemoveTree(drive.Root());
    MakeFolder(drive.Root());
    drive.Insert(1);
    DiskSwapHooks fixed(drive, Texts{});
    JoinPieces(Piece(1), target.Path(), fixed,
               JoinSystem{[](const std::string&) { return std::optional<std::string>(); }});
    EXPECT_TRUE(fixed.Of("choose").empty());
    ASSERT_EQ(fixed.Of("message").size(), 1u);
    EXPECT_NE(fixed.Of("message")[0].find(" не полон: "), std::string::npos);
}

TEST_F(DiskJoin, ADiskWithoutACheckFileOrWithAGarbledOneIsAskedForAgain) {
    drive.Insert(1);
    // Disk 2's check file lost; then a copy of it with a garbled line.
    const std::string check = ReadWholeFile(drive.Disk(2) + "film.avi.sha256");
    RemoveFile(drive.Disk(2) + "film.avi.sha256");
    DiskSwapHooks hooks(drive, {2, 2, 2, 3});
    hooks.before = [&](size_t prompt) {
        const std::string path = drive.Root() + "film.avi.sha256";
        if (prompt == 2) WriteWholeFile(path, "x" + check.substr(1));
        if (prompt == 3) WriteWholeFile(path, check);
    };
    Join(hooks);
    const Texts asked = hooks.Of("choose");
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1],
              "На диске " + Letter() + " нет файла проверки film.avi.sha256.\r\n" + Ask(2));
    EXPECT_EQ(asked[2], "Файл проверки " + drive.Root() +
                            "film.avi.sha256 повреждён: строка 1 не в виде «сумма SHA-256, два "
                            "пробела, имя файла».\r\n" +
                            Ask(2));
    ExpectJoined(hooks);
}

TEST_F(DiskJoin, AFileThatDiffersFromTheLastDisksWholeFileLineIsNotWritten) {
    // Every piece as its line says, the whole-file line another file's.
    const std::string path = drive.Disk(3) + "film.avi.sha256";
    std::string check = ReadWholeFile(path);
    const size_t whole = check.rfind("  film.avi\r\n") - 64;
    check.replace(whole, 64, std::string(64, 'b'));
    WriteWholeFile(path, check);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), Ask(3)}));
    EXPECT_EQ(hooks.Of("message"), Texts{"Соединённый файл film.avi не совпадает со своей строкой "
                                         "в film.avi.sha256: файл не записан."});
    ExpectNothingWritten();
}

TEST_F(DiskJoin, AWholeSetOnTheDriveWithOnePieceLostIsRebuiltWhereItIs) {
    // A split by size onto the stick itself, with the recovery file; piece 2 is lost.
    WriteWholeFile(folder / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(folder / "film.avi", drive.Root(), SplitMethod::BySize, 3000);
    request.recovery = true;
    RecordingHooks split;
    SplitFile(request, split);
    ASSERT_TRUE(FileExists(drive.Root() + "film.avi.par2"));
    ASSERT_TRUE(RemoveFile(Piece(2)));
    DiskSwapHooks hooks(drive, Texts{});
    Join(hooks);
    EXPECT_TRUE(hooks.Of("choose").empty()) << "no disk is asked for";
    EXPECT_EQ(hooks.Of("message"),
              Texts{Done() + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасть 2 "
                             "восстановлена по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
    // Without the recovery file the piece can only come from another disk: the drive is asked.
    ASSERT_TRUE(RemoveFile(drive.Root() + "film.avi.par2"));
    WriteWholeFile(target / "film.avi", "the old file");
    DiskSwapHooks asked(drive, {0});
    Join(asked);
    EXPECT_EQ(asked.Of("choose"), Texts{Ask(2)});
    ExpectNothingWritten();
}

// A set on the stick whose recovery file rebuilds two pieces: two lost are rebuilt where it is;
// three lost are more than it holds, and the disks are asked for.
TEST_F(DiskJoin, AWholeSetOnTheDriveIsRebuiltWhereItIsWhileItsSlicesSuffice) {
    WriteWholeFile(folder / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(folder / "film.avi", drive.Root(), SplitMethod::BySize, 3000);
    request.recovery = true;
    request.recoverySlices = 2;
    RecordingHooks split;
    SplitFile(request, split);
    const std::string second = ReadWholeFile(Piece(2));
    ASSERT_TRUE(RemoveFile(Piece(1)));
    ASSERT_TRUE(RemoveFile(Piece(2)));
    DiskSwapHooks hooks(drive, Texts{});
    Join(hooks);
    EXPECT_TRUE(hooks.Of("choose").empty()) << "no disk is asked for";
    EXPECT_EQ(hooks.Of("message"),
              Texts{Done() + "\r\nВсе части проверены по film.avi.sha256.\r\nЧасти 1, 2 "
                             "восстановлены по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
    ASSERT_TRUE(RemoveFile(Piece(3)));
    WriteWholeFile(target / "film.avi", "the old file");
    DiskSwapHooks asked(drive, {0});
    Join(asked);
    EXPECT_EQ(asked.Of("choose"), Texts{Ask(1)});
    ExpectNothingWritten();
}

namespace {

// Disk sets with recovery volumes, laid out as the disk method lays them (DiskVolumeSets.cpp),
// each test making its own in place of the fixture's.
struct VolumeDiskJoin : DiskJoin {
    void SetUp() override { WriteWholeFile(target / "film.avi", "the old file"); }

    // Pieces of 4000, 4000 and 2000 bytes on disks 1 to 3, then the volumes not on disk 3.
    size_t WriteVolumes(uint32_t slices, uint32_t onLast, bool oldStyle = false) {
        return drive.WriteVolumeSet("film.avi", bytes, 4000, slices, onLast, oldStyle);
    }

    // Changes bits of one byte of piece n on its disk.
    void DamagePiece(size_t disk, int64_t n, size_t at, char bits) {
        const std::string path = PiecePath(drive.Disk(disk), "film.avi", n);
        std::string piece = ReadWholeFile(path);
        piece[at] ^= bits;
        WriteWholeFile(path, piece);
    }

    void ExpectRebuilt(const DiskSwapHooks& hooks, int disks, const std::string& rebuilt) {
        EXPECT_EQ(hooks.Of("message").back(),
                  Done() + "\r\nВсе части проверены по film.avi.sha256.\r\nНабор частей собран с " +
                      std::to_string(disks) + (disks == 1 ? " диска." : " дисков.") + "\r\n" +
                      rebuilt);
        EXPECT_EQ(hooks.Of("status").back(), Done());
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"}) << "no work file is left";
    }
};

} // namespace

// Disk 2 is not there: piece 3 waits in a work file, the volume on the last disk rebuilds
// piece 2 from piece 1 in the gathering file and piece 3 in its work file.
TEST_F(VolumeDiskJoin, ALostDiskIsRebuiltFromTheVolumeOnTheLastDisk) {
    ASSERT_EQ(WriteVolumes(1, 1), 3u);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {DiskSwapHooks::kNotThere, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), AskPast(3)}));
    ExpectRebuilt(hooks, 2, "Часть 2 восстановлена по томам восстановления.");
    EXPECT_EQ(hooks.Of("message").size(), 1u);
}

// Piece 3 fails its line in the drive after disk 2 was not there; disk 3 holds one volume and
// disk 4 the other, asked for by the name the volumes of a disk set have.
TEST_F(VolumeDiskJoin, ALostDiskAndADamagedPieceAreRebuiltFromVolumesOnTwoDisks) {
    ASSERT_EQ(WriteVolumes(2, 1), 4u);
    DamagePiece(3, 3, 10, 0x01);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {DiskSwapHooks::kNotThere, 3, 4});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"),
              (Texts{Ask(2), AskPast(3), AskVolume("film.avi.vol1+1.par2", 1)}));
    EXPECT_EQ(hooks.Of("message")[0], LostOnDisk(3));
    ExpectRebuilt(hooks, 2, "Части 2, 3 восстановлены по томам восстановления.");
}

// Piece 2 fails its line on the way into the gathering file, and the last disk is lost: its
// count comes from a volume disk's check file, the volume on the lost disk is answered "Нет",
// and the next one is asked for; the whole file's digest is taken anew over piece 1.
TEST_F(VolumeDiskJoin, TheLastDiskLostIsCountedFromAVolumeDisk) {
    ASSERT_EQ(WriteVolumes(3, 1), 5u);
    DamagePiece(2, 2, 3999, 0x40);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, DiskSwapHooks::kNotThere, 4, DiskSwapHooks::kNotThere, 5});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"),
              (Texts{Ask(2), AskPast(3), AskPast(4), AskVolume("film.avi.vol0+1.par2", 1),
                     AskVolume("film.avi.vol2+1.par2", 1)}));
    EXPECT_EQ(hooks.Of("message")[0], LostOnDisk(2));
    EXPECT_EQ(hooks.Of("list").back(), Piece(1) + " " + Piece(2) + " " + Piece(3));
    ExpectRebuilt(hooks, 2, "Части 2, 3 восстановлены по томам восстановления.");
}

// Piece 1 fails its line on the way into the gathering file: the whole file's digest, which
// took its bytes, begins anew, and piece 1 is rebuilt in its place.
TEST_F(VolumeDiskJoin, ADamagedFirstPieceIsRebuiltAndTheWholeFileHashedAnew) {
    ASSERT_EQ(WriteVolumes(1, 1), 3u);
    DamagePiece(1, 1, 2000, 0x08);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, 3});
    Join(hooks);
    EXPECT_EQ(hooks.Of("message")[0], LostOnDisk(1));
    ExpectRebuilt(hooks, 2, "Часть 1 восстановлена по томам восстановления.");
}

// Two disks lost and one volume: the question says how many more volumes the rebuild needs,
// a disk without new ones is told, and Cancel writes nothing and leaves no work file.
TEST_F(VolumeDiskJoin, MoreLostThanVolumesAsksForMoreAndCancelWritesNothing) {
    ASSERT_EQ(drive.WriteVolumeSet("film.avi", bytes, 2500, 1, 1), 4u);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {DiskSwapHooks::kNotThere, DiskSwapHooks::kNotThere, 4, 4, 0});
    // While more volumes are asked for, piece 4 waits in a work file and the recovery files
    // read lie copied beside the gathering file.
    Texts waiting;
    hooks.before = [&](size_t prompt) {
        if (prompt == 5) waiting = FolderEntries(target.Path());
    };
    Join(hooks);
    const std::string none = "На диске " + Letter() +
                             " нет томов восстановления набора film.avi, которые ещё не прочитаны.";
    EXPECT_EQ(hooks.Of("choose"),
              (Texts{Ask(2), AskPast(3), AskPast(4), AskVolume("film.avi.vol1+1.par2", 1),
                     none + "\r\n" + AskVolume("film.avi.vol1+1.par2", 1)}));
    EXPECT_TRUE(hooks.Of("message").empty());
    EXPECT_EQ(waiting.size(), 5u) << "the old file, the gathering file, piece 4 and two copies";
    EXPECT_EQ(std::count(waiting.begin(), waiting.end(), "film.avi.~part4"), 1);
    EXPECT_EQ(hooks.Of("status").back(), Stopped());
    ExpectNothingWritten();
}

// An older disk set: one "film.avi.par2" holding the slice on the last disk, which its check
// file does not list. Disk 3 of 4 is lost: pieces 1 and 2 are read for the rebuild where they
// lie in the gathering file.
TEST_F(VolumeDiskJoin, AnOlderSetWithOneRecoveryFileOnTheLastDiskIsRebuilt) {
    ASSERT_EQ(drive.WriteVolumeSet("film.avi", bytes, 2500, 1, 0, true), 4u);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {2, DiskSwapHooks::kNotThere, 4});
    Join(hooks);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(2), Ask(3), AskPast(4)}));
    ExpectRebuilt(hooks, 3, "Часть 3 восстановлена по film.avi.par2.");
}

// The join begun from disk 2 and disk 1 not there: no piece goes into the gathering file before
// the rebuild, every piece read waits in its work file, and piece 1 is rebuilt at the start.
TEST_F(VolumeDiskJoin, TheFirstDiskLostLeavesEveryPieceForTheRebuild) {
    ASSERT_EQ(WriteVolumes(1, 1), 3u);
    drive.Insert(2);
    DiskSwapHooks hooks(drive, {DiskSwapHooks::kNotThere, 2, 3});
    Join(hooks, 2);
    EXPECT_EQ(hooks.Of("choose"), (Texts{Ask(1), AskPast(2), AskPast(3)}));
    ExpectRebuilt(hooks, 2, "Часть 1 восстановлена по томам восстановления.");
}

// A held piece's work file changed on the target disk before the rebuild reads it (the rebuild
// takes the pieces read off the disks as they were checked then): the piece rebuilt from it
// fails its line, and nothing is written.
TEST_F(VolumeDiskJoin, AHeldPieceChangedBeforeTheRebuildWritesNothing) {
    ASSERT_EQ(WriteVolumes(1, 0), 4u);
    drive.Insert(1);
    DiskSwapHooks hooks(drive, {DiskSwapHooks::kNotThere, 3, 4});
    hooks.before = [&](size_t question) {
        if (question != 3) return;
        for (const std::string& name : FolderEntries(target.Path())) {
            // Piece 3's work file, "film.avi.~part3".
            if (name.find(".~part") == std::string::npos) continue;
            std::string held = ReadWholeFile(target / name);
            held[held.size() / 2] ^= 0x10;
            WriteWholeFile(target / name, held);
        }
    };
    Join(hooks);
    ASSERT_EQ(hooks.Of("choose").size(), 3u) << "the volume's disk was asked for";
    ASSERT_FALSE(hooks.Of("message").empty());
    EXPECT_EQ(hooks.Of("message").back().rfind("Часть " + Piece(2) + ", восстановленная по ", 0),
              0u)
        << hooks.Of("message").back();
    ExpectNothingWritten();
}
