// A disk set split with N recovery volumes, on scripted disks of one size whose free bytes
// drop with every file written: the pieces and every volume written, each disk's check file
// true to the files on it, the volumes rebuilding lost pieces with the folder join; Cancel at
// a volume's prompt; N above the pieces.
#include <windows.h>

#include <gtest/gtest.h>

#include "DiskSets.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/Sha256.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"

namespace {

using Texts = std::vector<std::string>;

// Every disk's size in the tests: 24 clusters.
constexpr uint64_t kDiskBytes = 24 * kTestCluster;

uint64_t Clusters(uint64_t bytes) {
    return (bytes + kTestCluster - 1) / kTestCluster * kTestCluster;
}

// The whole clusters the files in the folder take.
uint64_t TakenIn(const std::string& folder) {
    uint64_t taken = 0;
    for (const std::string& name : FolderEntries(folder))
        taken += Clusters(LookupFileSize(folder + name));
    return taken;
}

std::string DigitsOf(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    Sha256 digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Finish().value_or("");
}

// Answers each prompt from the queue (OK when empty) and puts the next empty disk in on OK.
// The drive reports the disk's size less what the files on it take.
struct DisksOfOneSize : RecordingHooks {
    explicit DisksOfOneSize(DiskDrive& drive) : drive(drive) {}
    bool AskOkCancel(const std::string& text) override {
        const bool ok = RecordingHooks::AskOkCancel(text);
        if (ok) drive.Insert(++disks);
        return ok;
    }
    SplitSystem System() {
        return ScriptedSystem([this](const std::string&) -> std::optional<uint64_t> {
            return kDiskBytes - TakenIn(drive.Root());
        });
    }
    DiskDrive& drive;
    size_t disks = 0;
};

// Splits `size` bytes as film.avi onto disks of one size with `volumes` asked; the hooks, with
// the drive left empty.
struct VolumeSplit {
    TempFolder temp;
    DiskDrive drive{temp.Path()};
    DisksOfOneSize hooks{drive};
    std::string bytes;

    VolumeSplit(size_t size, int64_t volumes, std::deque<bool> answers = {}) {
        bytes = PatternBytes(size, 77);
        WriteWholeFile(temp / "film.avi", bytes);
        SplitRequest request =
            SplitRequestFor(temp / "film.avi", drive.Root(), SplitMethod::OntoDisks, 0);
        request.recovery = true;
        request.recoverySlices = volumes;
        hooks.answers = std::move(answers);
        SplitFile(request, hooks, hooks.System());
        drive.Insert(0);
        RemoveFile(temp / "film.avi");
    }

    // Every disk's files in one folder, as a user copies them; the folder.
    std::string Gathered() {
        const std::string all = temp / "all\\";
        MakeFolder(all);
        for (size_t d = 1; d <= hooks.disks; ++d)
            for (const std::string& name : FolderEntries(drive.Disk(d)))
                if (name != "film.avi.sha256" || d == hooks.disks)
                    CopyFileA((drive.Disk(d) + name).c_str(), (all + name).c_str(), FALSE);
        return all;
    }

    // Joins the gathered set with those pieces removed; the join's messages.
    Texts JoinWithout(std::initializer_list<int64_t> lost) {
        const std::string all = Gathered();
        for (const int64_t n : lost) RemoveFile(PiecePath(all, "film.avi", n));
        RecordingHooks join;
        JoinPieces(PiecePath(all, "film.avi", 1), temp / "out\\", join);
        return join.Of("message");
    }
};

std::string InsertPiece(const std::string& letter) {
    return "Вставте другой диск " + letter + " для записи части film.avi и нажмите Ок.";
}

// The recovery files on a disk, in the order its check file lists them, must be its check
// file's recovery lines, with their bytes' digits after every piece and the whole file.
void ExpectCheckFileTrue(const std::string& disk, int64_t pieces, const Texts& recoveryFiles) {
    const CheckLines lines = ReadCheckLines(disk, "film.avi");
    ASSERT_TRUE(lines.found);
    EXPECT_EQ(lines.refusal, "");
    EXPECT_EQ(lines.check.digits.size(), static_cast<size_t>(pieces));
    EXPECT_TRUE(lines.whole.has_value());
    Texts listed;
    for (const CheckEntry& entry : lines.recovery) {
        listed.push_back(entry.name);
        EXPECT_EQ(entry.digits, DigitsOf(disk + entry.name)) << entry.name;
    }
    EXPECT_EQ(listed, recoveryFiles);
}

} // namespace

TEST(DiskVolumes, OnDisksOfOneSizeEveryVolumeIsWrittenAndTheJoinRebuildsTwoLostPieces) {
    VolumeSplit split(40000, 3);
    const std::string letter = split.drive.Root().substr(0, 1);
    // The pieces, then a disk for each volume: none fits beside a piece that filled its disk.
    int64_t pieces = 0;
    while (FileExists(PiecePath(split.drive.Disk(pieces + 1), "film.avi", pieces + 1))) ++pieces;
    ASSERT_GE(pieces, 4);
    EXPECT_EQ(split.hooks.disks, static_cast<size_t>(pieces) + 3);
    Texts asks(static_cast<size_t>(pieces), InsertPiece(letter));
    for (int e = 0; e < 3; ++e) {
        const std::string name = "film.avi.vol" + std::to_string(e) + "+1.par2";
        asks.push_back("Вставте другой диск " + letter + " для записи тома восстановления " + name +
                       " (" +
                       std::to_string(LookupFileSize(split.drive.Disk(pieces + 1 + e) + name)) +
                       " байт) и нажмите Ок.");
    }
    EXPECT_EQ(split.hooks.Of("ask"), asks);
    EXPECT_EQ(split.hooks.Of("message"),
              Texts{"Разделение файла film.avi завершенно\r\nЗаписано томов восстановления: 3 "
                    "из 3."});
    // Each disk within its size; the last piece's disk holds the index, each further disk one
    // volume, and every such disk's check file tells them.
    for (size_t d = 1; d <= split.hooks.disks; ++d)
        EXPECT_LE(TakenIn(split.drive.Disk(d)), kDiskBytes) << d;
    ExpectCheckFileTrue(split.drive.Disk(pieces), pieces, {"film.avi.par2"});
    for (int e = 0; e < 3; ++e) {
        SCOPED_TRACE(e);
        const std::string disk = split.drive.Disk(pieces + 1 + e);
        const std::string name = "film.avi.vol" + std::to_string(e) + "+1.par2";
        EXPECT_EQ(FolderEntries(disk), (Texts{"film.avi.sha256", name}));
        ExpectCheckFileTrue(disk, pieces, {name});
    }
    EXPECT_EQ(split.JoinWithout({2, 4}),
              Texts{"Востановление файла " + split.temp.Path() +
                    "out\\film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\n"
                    "Части 2, 4 восстановлены по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(split.temp / "out\\film.avi") == split.bytes);
}
