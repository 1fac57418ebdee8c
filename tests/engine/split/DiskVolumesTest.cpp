// A disk set split with N recovery volumes, on scripted disks of one size whose free bytes
// drop with every file written: the pieces and every volume written, each disk's check file
// true to the files on it, the volumes rebuilding lost pieces with the folder join; Cancel at
// a volume's prompt; N above the pieces.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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
    // A stop asked for once stopWhen holds, as a close of the window asks for one.
    bool StopRequested() override { return stopWhen && stopWhen(); }
    std::function<bool()> stopWhen;
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

    VolumeSplit(size_t size, int64_t volumes, std::deque<bool> answers = {},
                std::function<bool(const RecordingHooks&)> stopWhen = {}) {
        bytes = PatternBytes(size, 77);
        WriteWholeFile(temp / "film.avi", bytes);
        SplitRequest request =
            SplitRequestFor(temp / "film.avi", drive.Root(), SplitMethod::OntoDisks, 0);
        request.recovery = true;
        request.recoverySlices = volumes;
        hooks.answers = std::move(answers);
        if (stopWhen) hooks.stopWhen = [this, stopWhen] { return stopWhen(hooks); };
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
    Texts JoinWithout(const std::vector<int64_t>& lost) {
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

// The recovery files a disk's check file names, in its order, after every piece and the whole
// file, each with the digits of its bytes on whichever of the disks it lies.
void ExpectCheckFileTrue(const std::string& disk, int64_t pieces, const Texts& recoveryFiles,
                         const Texts& disks = {}) {
    const CheckLines lines = ReadCheckLines(disk, "film.avi");
    ASSERT_TRUE(lines.found);
    EXPECT_EQ(lines.refusal, "");
    EXPECT_EQ(lines.check.digits.size(), static_cast<size_t>(pieces));
    EXPECT_TRUE(lines.whole.has_value());
    Texts listed;
    for (const CheckEntry& entry : lines.recovery) {
        listed.push_back(entry.name);
        std::string where = disk;
        for (const std::string& other : disks)
            if (FileExists(other + entry.name)) where = other;
        EXPECT_EQ(entry.digits, DigitsOf(where + entry.name)) << entry.name;
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
    // The last piece's disk names every recovery file, for a join that lost disks to ask for.
    Texts disks;
    for (size_t d = 1; d <= split.hooks.disks; ++d) disks.push_back(split.drive.Disk(d));
    ExpectCheckFileTrue(
        split.drive.Disk(pieces), pieces,
        {"film.avi.par2", "film.avi.vol0+1.par2", "film.avi.vol1+1.par2", "film.avi.vol2+1.par2"},
        disks);
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

// Cancel at the second volume's prompt keeps the set with the first volume; the user learns how
// many lost pieces it survives. One piece lost is still rebuilt.
TEST(DiskVolumes, CancelAtAVolumesPromptKeepsTheSetWithTheVolumesWritten) {
    // The pieces' prompts (OK), the first volume's (OK), the second's (Cancel).
    VolumeSplit count(40000, 3);
    int64_t pieces = 0;
    while (FileExists(PiecePath(count.drive.Disk(pieces + 1), "film.avi", pieces + 1))) ++pieces;
    std::deque<bool> answers(static_cast<size_t>(pieces) + 1, true);
    answers.push_back(false);
    VolumeSplit split(40000, 3, answers);
    EXPECT_EQ(split.hooks.Of("message"),
              (Texts{"Записано томов восстановления: 1 из 3. Набор частей восстановит не более 1 "
                     "потерянной части.",
                     "Разделение файла film.avi завершенно\r\nЗаписано томов восстановления: 1 "
                     "из 3."}));
    EXPECT_EQ(split.hooks.disks, static_cast<size_t>(pieces) + 1);
    const std::string volumeDisk = split.drive.Disk(pieces + 1);
    EXPECT_EQ(FolderEntries(volumeDisk), (Texts{"film.avi.sha256", "film.avi.vol0+1.par2"}));
    ExpectCheckFileTrue(volumeDisk, pieces, {"film.avi.vol0+1.par2"});
    EXPECT_EQ(split.JoinWithout({3}),
              Texts{"Востановление файла " + split.temp.Path() +
                    "out\\film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\n"
                    "Часть 3 восстановлена по film.avi.par2."});
}

// More volumes asked than the disks took pieces: one a piece, named by the one digit of the
// highest exponent; together they rebuild every piece but the first, all lost.
TEST(DiskVolumes, MoreVolumesThanPiecesAreAsManyAsThePieces) {
    VolumeSplit split(20000, 32);
    int64_t pieces = 0;
    while (FileExists(PiecePath(split.drive.Disk(pieces + 1), "film.avi", pieces + 1))) ++pieces;
    ASSERT_GE(pieces, 2);
    ASSERT_LT(pieces, 10);
    Texts volumes;
    for (int64_t e = 0; e < pieces; ++e)
        volumes.push_back("film.avi.vol" + std::to_string(e) + "+1.par2");
    EXPECT_EQ(split.hooks.Of("message"),
              Texts{"Разделение файла film.avi завершенно\r\nЗаписано томов восстановления: " +
                    std::to_string(pieces) + " из " + std::to_string(pieces) + "."});
    Texts all;
    for (size_t d = 1; d <= split.hooks.disks; ++d)
        for (const std::string& name : FolderEntries(split.drive.Disk(d)))
            if (name.find(".par2") != std::string::npos) all.push_back(name);
    Texts expected = volumes;
    expected.insert(expected.begin(), "film.avi.par2");
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
    std::vector<int64_t> lost;
    for (int64_t n = 2; n <= pieces; ++n) lost.push_back(n);
    const Texts joined = split.JoinWithout(lost);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_NE(joined[0].find(" восстановлен"), std::string::npos);
    EXPECT_TRUE(ReadWholeFile(split.temp / "out\\film.avi") == split.bytes);
}

// The whole way a user goes: a split onto disks with two volumes, then the join straight from
// the disks with one disk not there ("Нет") and a piece damaged on another; both come back
// from the volumes on their own disks, byte for byte, and nothing of the join is left behind.
TEST(DiskVolumes, ASetWithTwoVolumesIsJoinedFromItsDisksWithoutALostDiskAndADamagedPiece) {
    VolumeSplit split(40000, 2);
    int64_t pieces = 0;
    while (FileExists(PiecePath(split.drive.Disk(pieces + 1), "film.avi", pieces + 1))) ++pieces;
    ASSERT_GE(pieces, 4);
    ASSERT_EQ(split.hooks.disks, static_cast<size_t>(pieces) + 2);
    // Piece 4 is damaged on its disk.
    const std::string damaged = PiecePath(split.drive.Disk(4), "film.avi", 4);
    std::string bytes = ReadWholeFile(damaged);
    bytes[bytes.size() / 2] ^= 0x5a;
    WriteWholeFile(damaged, bytes);

    // Disk 1 in the drive; disk 2 is not there; then every other disk as asked.
    std::vector<size_t> plan{DiskSwapHooks::kNotThere};
    for (size_t d = 3; d <= split.hooks.disks; ++d) plan.push_back(d);
    split.drive.Insert(1);
    std::vector<std::string> folders;
    for (const size_t d : plan)
        folders.push_back(d == DiskSwapHooks::kNotThere ? DiskSwapHooks::kNo : split.drive.Disk(d));
    DiskSwapHooks answers(split.drive, folders);
    const std::string out = split.temp / "out\\";
    JoinPieces(PiecePath(split.drive.Root(), "film.avi", 1), out, answers, split.drive.System());

    const Texts messages = answers.Of("message");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find("завершенно\r\nВсе части проверены по film.avi.sha256."),
              std::string::npos)
        << messages.back();
    // The disks with whole pieces (all but 2 and 4), and the two volume disks.
    EXPECT_NE(messages.back().find("Набор частей собран с " + std::to_string(pieces) +
                                   " дисков.\r\nЧасти 2, 4 восстановлены по томам "
                                   "восстановления."),
              std::string::npos)
        << messages.back();
    // The volumes are asked for by the names the last piece's disk gives.
    const Texts questions = answers.Of("choose");
    ASSERT_GE(questions.size(), 2u);
    EXPECT_NE(questions[questions.size() - 2].find("film.avi.vol0+1.par2"), std::string::npos);
    EXPECT_NE(questions.back().find("film.avi.vol1+1.par2"), std::string::npos);
    EXPECT_TRUE(ReadWholeFile(out + "film.avi") == split.bytes);
    EXPECT_EQ(FolderEntries(out), Texts{"film.avi"}) << "no work file is left";
    EXPECT_LE(answers.Of("choose").size(), folders.size()) << "no question beyond the disks";
}

namespace {

// Every disk's files of the set that are recovery files.
Texts RecoveryFilesOn(VolumeSplit& split) {
    Texts names;
    for (size_t d = 1; d <= split.hooks.disks; ++d)
        for (const std::string& name : FolderEntries(split.drive.Disk(d)))
            if (name.find(".par2") != std::string::npos) names.push_back(name);
    return names;
}

} // namespace

// A close of the window while the slices are made, or while the second volume is written:
// the set stays complete and checkable with the volumes written before, the one being written
// and the work file go, and the user is told what the set now survives.
TEST(DiskVolumes, AStopWhileTheSlicesAreMadeOrAVolumeIsWrittenKeepsTheSetWithTheVolumesBefore) {
    const size_t workFiles = RecoveryWorkFilesInTemp();
    const auto making = [](const RecordingHooks& hooks) {
        const Texts status = hooks.Of("status");
        return !status.empty() && status.back().rfind("Создание файла восстановления", 0) == 0;
    };
    VolumeSplit stoppedMaking(40000, 2, {}, making);
    EXPECT_EQ(stoppedMaking.hooks.Of("message"),
              Texts{"Тома восстановления не записаны. Набор частей полон и проверяется по файлу "
                    "проверки, но потерянные части восстановить не сможет."});
    EXPECT_EQ(RecoveryFilesOn(stoppedMaking), Texts{});
    EXPECT_EQ(RecoveryWorkFilesInTemp(), workFiles);
    EXPECT_EQ(stoppedMaking.JoinWithout({}),
              Texts{"Востановление файла " + stoppedMaking.temp.Path() +
                    "out\\film.avi завершенно\r\nВсе части проверены по film.avi.sha256."});

    // Stopped once the second volume's disk is in: the first volume stays.
    const auto second = [](const RecordingHooks& hooks) {
        const Texts asks = hooks.Of("ask");
        return !asks.empty() && asks.back().find("film.avi.vol1+1.par2") != std::string::npos;
    };
    VolumeSplit stoppedWriting(40000, 2, {}, second);
    EXPECT_EQ(stoppedWriting.hooks.Of("message"),
              Texts{"Записано томов восстановления: 1 из 2. Набор частей восстановит не более 1 "
                    "потерянной части."});
    Texts kept = RecoveryFilesOn(stoppedWriting);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (Texts{"film.avi.par2", "film.avi.vol0+1.par2"})) << "no .~part left";
    EXPECT_EQ(RecoveryWorkFilesInTemp(), workFiles);
    EXPECT_EQ(stoppedWriting.JoinWithout({2}),
              Texts{"Востановление файла " + stoppedWriting.temp.Path() +
                    "out\\film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\n"
                    "Часть 2 восстановлена по film.avi.par2."});
    EXPECT_TRUE(ReadWholeFile(stoppedWriting.temp / "out\\film.avi") == stoppedWriting.bytes);
}

namespace {

// A user at the drive with some disks of the set lost: each question is answered by what it
// asks for. A piece's disk is put in ("Да") unless it is lost ("Нет"); a question past the last
// piece, or for volumes, gets the disk holding the volume it names, or any volume disk not
// given yet; with none left, "Нет" once and then "Отмена", so that no join can ask for ever.
struct LosingUser : RecordingHooks {
    LosingUser(DiskDrive& drive, size_t pieces, size_t disks, std::set<size_t> lost)
        : drive(drive), pieces(pieces), disks(disks), lost(std::move(lost)) {}

    Reply AskYesNoCancel(const std::string& text) override {
        RecordingHooks::AskYesNoCancel(text);
        if (++asked > 40) return Reply::Cancel;
        const size_t disk = DiskFor(text);
        if (disk == 0) return refused++ == 0 ? Reply::No : Reply::Cancel;
        if (lost.count(disk)) return Reply::No;
        drive.Insert(disk);
        return Reply::Yes;
    }

    // The disk the question asks for; 0 when the user has none to give.
    size_t DiskFor(const std::string& text) {
        const std::string piece = "с частью film.avi_";
        const size_t at = text.find(piece);
        const bool volume = text.find("нужно ещё") != std::string::npos;
        if (at != std::string::npos && !volume) {
            const size_t n = std::stoul(text.substr(at + piece.size()));
            if (n <= pieces) return n;
        }
        size_t named = 0, other = 0;
        for (size_t d = disks; d > pieces; --d) {
            for (const std::string& name : FolderEntries(drive.Disk(d)))
                if (name.find(".vol") != std::string::npos && text.find(name) != std::string::npos)
                    named = d;
            if (!given.count(d) && !lost.count(d)) other = d;
        }
        const size_t disk = named != 0 ? named : other;
        if (disk != 0) given.insert(disk);
        return disk;
    }

    DiskDrive& drive;
    const size_t pieces, disks;
    const std::set<size_t> lost;
    std::set<size_t> given;
    int asked = 0, refused = 0;
};

} // namespace

// Five piece disks and two volume disks: the join from the disks with every single piece disk
// lost, every pair, one piece disk and one volume disk, rebuilds the set byte for byte; three
// piece disks lost are more than the volumes: the join says how many more it needs and, with
// none to give, writes nothing and leaves nothing behind.
TEST(DiskVolumes, FiveDisksWithTwoVolumesSurviveAnyTwoLostAndRefuseThree) {
    VolumeSplit split(40000, 2);
    size_t pieces = 0;
    while (FileExists(PiecePath(split.drive.Disk(pieces + 1), "film.avi", pieces + 1))) ++pieces;
    ASSERT_EQ(pieces, 5u);
    ASSERT_EQ(split.hooks.disks, 7u);
    std::vector<std::set<size_t>> survived;
    for (size_t a = 1; a <= 5; ++a) {
        survived.push_back({a});
        for (size_t b = a + 1; b <= 5; ++b) survived.push_back({a, b});
        survived.push_back({a, 6});
    }
    const auto join = [&](const std::set<size_t>& lost, const std::string& out) {
        // The user starts from the first disk there is.
        size_t first = 1;
        while (lost.count(first)) ++first;
        split.drive.Insert(first);
        LosingUser user(split.drive, pieces, split.hooks.disks, lost);
        JoinPieces(PiecePath(split.drive.Root(), "film.avi", first), out, user,
                   split.drive.System());
        split.drive.Insert(0);
        return user;
    };
    for (const std::set<size_t>& lost : survived) {
        std::string name;
        for (const size_t d : lost) name += std::to_string(d);
        SCOPED_TRACE("lost disks " + name);
        const std::string out = split.temp / ("out" + name + "\\");
        const LosingUser user = join(lost, out);
        ASSERT_FALSE(user.Of("message").empty());
        EXPECT_NE(user.Of("message").back().find(" восстановлен"), std::string::npos)
            << user.Of("message").back();
        EXPECT_TRUE(ReadWholeFile(out + "film.avi") == split.bytes);
        EXPECT_EQ(FolderEntries(out), Texts{"film.avi"}) << "no work file is left";
    }

    const std::string out = split.temp / "out135\\";
    const LosingUser user = join({1, 3, 5}, out);
    const Texts questions = user.Of("choose");
    EXPECT_TRUE(std::any_of(questions.begin(), questions.end(), [](const std::string& q) {
        return q.rfind("Для восстановления потерянных частей нужно ещё 1 том", 0) == 0;
    })) << "the join says how many more volumes it needs";
    EXPECT_FALSE(FileExists(out + "film.avi"));
    EXPECT_EQ(FolderEntries(out), Texts{}) << "nothing written, no work file left";
}
