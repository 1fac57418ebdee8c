// "<name>.par2" is also the name a repair tool gives the index of a recovery set made for the
// whole file "<name>", which often lies beside it where the split puts the pieces. The split
// replaces or removes only a Varnok set's file of that name, in a folder and on disks; any
// other stays as it is, and the completion text says so.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "DiskSets.h"
#include "TestFiles.h"
#include "engine/digest/Crc32.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Reader.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

std::string Done(const std::string& name) { return "Разделение файла " + name + " завершенно"; }
std::string LeftLine(const std::string& name) {
    return "\r\nФайл " + name + ".par2 в папке не принадлежит набору частей и оставлен как есть.";
}
std::string NotWrittenLine(const std::string& name) {
    return "\r\nФайл восстановления не записан: файл " + name +
           ".par2 в папке принадлежит не этому набору частей.";
}

// A whole recovery file as a repair tool makes it for the whole file: one slice, the file's
// own bytes, under the file's own name.
std::string WholeFileRecovery(const std::string& name, const std::string& bytes) {
    const uint64_t slice = Par2SliceSize(bytes.size());
    std::string padded = bytes;
    padded.resize(static_cast<size_t>(slice), '\0');
    Par2Piece file;
    file.name = name;
    file.length = bytes.size();
    file.whole = Md5Of(bytes.data(), bytes.size());
    file.first = Md5Of(bytes.data(), std::min<size_t>(bytes.size(), Par2FirstBytes));
    file.slice = Md5Of(padded.data(), padded.size());
    file.sliceCrc = Crc32Add(0, padded.data(), padded.size());
    const Par2Description set = DescribeSet(slice, {file}, "another tool");
    Md5 body = RecoveryBodyDigest(set.setId);
    body.Add(padded.data(), padded.size());
    return RecoveryPacketHead(set.setId, slice, body.Finish()) + padded + set.packets;
}

// The recovery file of a Varnok split of bytes as name, into count pieces.
std::string VarnokRecovery(const std::string& name, const std::string& bytes, int64_t count) {
    TempFolder folder;
    WriteWholeFile(folder / name, bytes);
    SplitRequest request =
        SplitRequestFor(folder / name, folder.Path(), SplitMethod::ByCount, count);
    request.recovery = true;
    RecordingHooks hooks;
    SplitFile(request, hooks);
    return ReadWholeFile(folder / (name + ".par2"));
}

// The pieces' names and lengths a recovery file describes, in piece order; none when it
// cannot be read.
std::vector<std::pair<std::string, uint64_t>> Described(const std::string& path) {
    const RecoveryFileReading reading = ReadRecoveryFile(path, [] { return true; });
    std::vector<std::pair<std::string, uint64_t>> pieces;
    if (!reading.set) return pieces;
    for (const Par2Piece& piece : reading.set->pieces)
        pieces.emplace_back(piece.name, piece.length);
    std::sort(pieces.begin(), pieces.end());
    return pieces;
}

// film.avi split by size beside itself, as the split page offers by default.
struct FolderSplit {
    TempFolder folder;
    const std::string bytes = PatternBytes(6500, 21);

    FolderSplit() { WriteWholeFile(folder / "film.avi", bytes); }
    std::string Recovery() const { return folder / "film.avi.par2"; }
    Texts Split(bool recovery, int64_t pieceSize = 1000) {
        SplitRequest request =
            SplitRequestFor(folder / "film.avi", folder.Path(), SplitMethod::BySize, pieceSize);
        request.recovery = recovery;
        RecordingHooks hooks;
        SplitFile(request, hooks);
        return hooks.Of("message");
    }
    // The set and the check file, as a split into a folder of their own writes them.
    std::string Set() const {
        std::string all = ReadWholeFile(folder / "film.avi.sha256");
        for (int64_t n = 1; FileExists(PiecePath(folder.Path(), "film.avi", n)); ++n)
            all += "|" + ReadWholeFile(PiecePath(folder.Path(), "film.avi", n));
        return all;
    }
};

} // namespace

TEST(RecoveryName, AnotherToolsFileOfTheNameSurvivesTheSplitAndTheUserIsTold) {
    FolderSplit clean;
    clean.Split(false);
    const std::string other = WholeFileRecovery("film.avi", clean.bytes);
    {
        // Whole and sound: a set of its own, not a damaged file of ours.
        TempFolder look;
        WriteWholeFile(look / "film.avi.par2", other);
        ASSERT_EQ(Described(look / "film.avi.par2"),
                  (std::vector<std::pair<std::string, uint64_t>>{{"film.avi", 6500}}));
    }
    const std::string notOne = "Другой программе этот файл тоже нужен.";
    // A Varnok set's file, but of other pieces: those of other.avi.
    const std::string ofOtherPieces = VarnokRecovery("other.avi", PatternBytes(3000, 3), 3);
    for (const bool recovery : {false, true}) {
        for (const std::string* held : {&other, &notOne, &ofOtherPieces}) {
            SCOPED_TRACE(testing::Message() << "recovery " << recovery << ", " << held->size());
            FolderSplit split;
            WriteWholeFile(split.Recovery(), *held);
            EXPECT_EQ(split.Split(recovery),
                      Texts{Done("film.avi") +
                            (recovery ? NotWrittenLine("film.avi") : LeftLine("film.avi"))});
            EXPECT_TRUE(ReadWholeFile(split.Recovery()) == *held);
            EXPECT_EQ(split.Set(), clean.Set()) << "the set itself as ever";
            EXPECT_EQ(FolderEntries(split.folder.Path()).size(), 10u) << "no work file left";
        }
    }
}

TEST(RecoveryName, AVarnokFileOfAnOlderSetOfTheNameIsReplacedOrRemoved) {
    FolderSplit clean;
    clean.Split(true);
    const std::string fresh = ReadWholeFile(clean.Recovery());
    // Older sets of the name: of fewer pieces and of more, of other bytes.
    for (const int64_t olderCount : {int64_t{3}, int64_t{9}}) {
        const std::string older = VarnokRecovery("film.avi", PatternBytes(5000, 8), olderCount);
        ASSERT_FALSE(older.empty());
        for (const bool recovery : {true, false}) {
            SCOPED_TRACE(testing::Message() << olderCount << " pieces, recovery " << recovery);
            FolderSplit split;
            WriteWholeFile(split.Recovery(), older);
            EXPECT_EQ(split.Split(recovery), Texts{Done("film.avi")});
            EXPECT_EQ(FileExists(split.Recovery()), recovery);
            if (recovery) EXPECT_TRUE(ReadWholeFile(split.Recovery()) == fresh);
        }
    }
}

namespace {

// Takes every prompt of the disk method with OK and puts the next disk in; each disk's free
// bytes are scripted.
struct DiskAfterDisk : RecordingHooks {
    DiskAfterDisk(DiskDrive& drive, std::vector<uint64_t> free) : drive(drive), free(free) {}
    bool AskOkCancel(const std::string& text) override {
        RecordingHooks::AskOkCancel(text);
        drive.Insert(++disk);
        return true;
    }
    SplitSystem System() {
        return ScriptedSystem([this](const std::string&) -> std::optional<uint64_t> {
            // Each disk has one cluster more, which its check file keeps.
            return disk >= 1 && disk <= free.size() ? free[disk - 1] + kTestCluster : 0;
        });
    }
    DiskDrive& drive;
    std::vector<uint64_t> free;
    size_t disk = 0;
};

} // namespace

// src.bin of 25,000 bytes onto disks of 10,000: pieces of 7,440, 7,440 and 10,120 (each disk
// keeps room for a volume's packets besides its slice), the third disk also taking the index
// and the volume unless another's file holds the index's name there. An older set's volume
// goes like its index.
TEST(RecoveryName, OnDisksAnOlderSetsFileGoesAndAnothersStays) {
    const std::string bytes = PatternBytes(25000, 31);
    const std::string older = VarnokRecovery("src.bin", PatternBytes(20000, 32), 4);
    const std::string other = WholeFileRecovery("src.bin", bytes);
    const std::vector<std::pair<std::string, uint64_t>> ours{
        {"src.bin_1.brf", 7440}, {"src.bin_2.brf", 7440}, {"src.bin_3.brf", 10120}};
    enum class Held { Nothing, Another, Ours };
    struct Case {
        bool recovery;
        const std::string* onDisk1;
        const std::string* onDisk3;
        std::vector<Held> after; // what each disk holds as src.bin.par2 afterwards
    };
    const std::vector<Case> cases = {
        // The last disk's is another's: one more disk takes the recovery file.
        {true, &older, &other, {Held::Nothing, Held::Nothing, Held::Another, Held::Ours}},
        {false, &older, &other, {Held::Nothing, Held::Nothing, Held::Another, Held::Nothing}},
        // The last disk's is an older set's: the new one takes its place.
        {true, &other, &older, {Held::Another, Held::Nothing, Held::Ours, Held::Nothing}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "recovery " << c.recovery << ", disk 3 "
                                        << (c.onDisk3 == &other ? "another's" : "older"));
        TempFolder temp;
        DiskDrive drive(temp.Path());
        WriteWholeFile(temp / "src.bin", bytes);
        for (size_t d = 1; d <= 4; ++d) MakeFolder(drive.Disk(d));
        WriteWholeFile(drive.Disk(1) + "src.bin.par2", *c.onDisk1);
        WriteWholeFile(drive.Disk(1) + "src.bin.vol0+1.par2", *c.onDisk1);
        WriteWholeFile(drive.Disk(3) + "src.bin.par2", *c.onDisk3);
        DiskAfterDisk hooks(drive, {10000, 10000, 1u << 20, 1u << 20});
        SplitRequest request =
            SplitRequestFor(temp / "src.bin", drive.Root(), SplitMethod::OntoDisks, 0);
        request.recovery = c.recovery;
        SplitFile(request, hooks, hooks.System());
        drive.Insert(0);

        const std::string letter = drive.Root().substr(0, 1);
        Texts asks(3, "Вставте другой диск " + letter + " для записи части src.bin и нажмите Ок.");
        if (c.after[3] == Held::Ours)
            asks.push_back("Файл src.bin.par2 на диске " + letter +
                           ":\\ принадлежит не этому набору частей и оставлен как есть.\n\r"
                           "Вставте другой диск " +
                           letter + " для записи файла восстановления src.bin.par2 (" +
                           std::to_string(LookupFileSize(drive.Disk(4) + "src.bin.par2")) +
                           " байт) и нажмите Ок.");
        EXPECT_EQ(hooks.Of("ask"), asks);
        const std::string volumes = c.recovery ? "\r\nЗаписано томов восстановления: 1 из 1." : "";
        EXPECT_EQ(hooks.Of("message"), Texts{Done("src.bin") + LeftLine("src.bin") + volumes});
        // An older set's volume is gone from the first disk, another's stays.
        EXPECT_EQ(FileExists(drive.Disk(1) + "src.bin.vol0+1.par2"), c.onDisk1 == &other);
        for (size_t d = 1; d <= 4; ++d) {
            SCOPED_TRACE(d);
            const std::string path = drive.Disk(d) + "src.bin.par2";
            EXPECT_EQ(FileExists(path), c.after[d - 1] != Held::Nothing);
            if (c.after[d - 1] == Held::Another) EXPECT_TRUE(ReadWholeFile(path) == other);
            if (c.after[d - 1] != Held::Ours) continue;
            EXPECT_EQ(Described(path), ours);
            EXPECT_TRUE(FileExists(drive.Disk(d) + "src.bin.vol0+1.par2"));
        }
    }
}
