// The disk method: pieces filling each disk in turn, the prompts, and disks that the user swaps:
// the folder made on each disk before it is measured, file systems that cap a file, and disks that
// take less than they said.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "TestFiles.h"
#include "engine/pieces/PieceSet.h"
#include "engine/digest/Sha256.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

struct Disk {
    uint64_t freeBytes = 0;
    std::string fileSystem = "NTFS";
    uint64_t folderTakes = 0;  // the free bytes that making the target folder uses up
    bool takesNothing = false; // every write is refused as on a full disk
};

// One drive whose disks the user swaps at each insert or no-space prompt: what the disk taken
// out holds moves to a folder of its own, so every disk starts without the target folder.
class SwappedDisks : public ProgressHooks {
  public:
    explicit SwappedDisks(std::vector<Disk> disks) : disks_(std::move(disks)) {}

    std::string Target() const { return folder_ / "A\\"; }
    std::string Source() const { return folder_ / "src.bin"; }
    std::vector<std::string> made; // what the folder was made on, in turn: "disk <index>"

    SplitSystem System() {
        SplitSystem system = ScriptedSystem(nullptr);
        system.freeSpace = [this](const std::string&) -> std::optional<uint64_t> {
            measured.push_back(current_);
            // Each disk has one cluster more, which its check file keeps.
            return current_ < disks_.size()
                       ? std::optional(disks_[current_].freeBytes + kTestCluster)
                       : std::nullopt;
        };
        system.fileSystem = [this](const std::string&) {
            return current_ < disks_.size() ? disks_[current_].fileSystem : std::string();
        };
        system.makeFolder = [this](const std::string& path) {
            if (!MakeFolder(path)) return false;
            made.push_back("disk " + std::to_string(current_));
            if (current_ >= disks_.size()) return true;
            disks_[current_].freeBytes -= disks_[current_].folderTakes;
            if (disks_[current_].takesNothing)
                full_ = std::make_unique<FullDeviceLink>(path, PieceName("src.bin", pieceNumber));
            return true;
        };
        return system;
    }

    bool AskOkCancel(const std::string& text) override {
        const bool ok = RecordingHooks::AskOkCancel(text);
        if (ok && text.find("Ок.") != std::string::npos) Swap();
        return ok;
    }

    // A file of disk d, taken out of the drive; empty when it holds none of that name.
    std::string OnShelf(size_t d, const std::string& name) const {
        return ReadWholeFile(Shelf(d) + name);
    }

    // Piece n from whichever disk holds it; empty when none does.
    std::string Piece(int64_t n) const {
        std::string piece;
        for (size_t d = 0; d <= current_ && piece.empty(); ++d)
            piece = ReadWholeFile(PiecePath(Shelf(d), "src.bin", n));
        if (piece.empty()) piece = ReadWholeFile(PiecePath(Target(), "src.bin", n));
        return piece;
    }

    // Every piece from every disk, in number order.
    std::string Rebuilt() const {
        std::string bytes;
        for (int64_t n = 1;; ++n) {
            const std::string piece = Piece(n);
            if (piece.empty()) return bytes;
            bytes += piece;
        }
    }

    std::vector<size_t> measured;
    int64_t pieceNumber = 2; // the piece name a disk that takes nothing is asked for

  private:
    std::string Shelf(size_t d) const { return folder_ / ("disk" + std::to_string(d) + "\\"); }

    void Swap() {
        full_.reset();
        MakeFolder(Shelf(current_));
        for (const std::string& name : FolderEntries(Target()))
            MoveFileA((Target() + name).c_str(), (Shelf(current_) + name).c_str());
        RemoveDirectoryA(Target().c_str());
        ++current_;
    }

    TempFolder folder_;
    std::vector<Disk> disks_;
    size_t current_ = 0;
    std::unique_ptr<FullDeviceLink> full_;
};

// A source that hands out its bytes in order but cannot go back: a pipe holding them all.
class PipedSource {
  public:
    explicit PipedSource(const std::string& bytes) {
        HANDLE write = nullptr;
        if (!CreatePipe(&read_, &write, nullptr, static_cast<DWORD>(bytes.size() + 4096))) return;
        DWORD done = 0;
        WriteFile(write, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        CloseHandle(write);
    }
    ~PipedSource() {
        if (read_) CloseHandle(read_);
    }
    PipedSource(const PipedSource&) = delete;
    PipedSource& operator=(const PipedSource&) = delete;

    // The stream takes the pipe over.
    FileStream Open() { return FileStream(std::exchange(read_, nullptr), FileStream::Kind::Read); }

  private:
    HANDLE read_ = nullptr;
};

void Split(SwappedDisks& disks) {
    SplitRequest request =
        SplitRequestFor(disks.Source(), disks.Target(), SplitMethod::OntoDisks, 0);
    SplitFile(request, disks, disks.System());
}

const std::string kDone = "Разделение файла src.bin завершенно";

// Free space of each inserted disk, in turn; a missing figure is a failed measurement.
struct ScriptedDisks {
    explicit ScriptedDisks(std::vector<std::optional<uint64_t>> disks)
        : figures(std::move(disks)) {}

    std::vector<std::optional<uint64_t>> figures;
    std::vector<std::string> roots;
    size_t next = 0;

    FreeSpaceQuery Query() {
        return [this](const std::string& root) -> std::optional<uint64_t> {
            roots.push_back(root);
            if (next >= figures.size()) return std::nullopt;
            // Each disk has one cluster more, which its check file keeps.
            const std::optional<uint64_t> figure = figures[next++];
            return figure ? std::optional(*figure + kTestCluster) : std::nullopt;
        };
    }
};

using V = std::vector<int64_t>;

SplitRequest ByCount(const std::string& source, const std::string& folder, int64_t count) {
    return SplitRequestFor(source, folder, SplitMethod::ByCount, count);
}

} // namespace

TEST(DiskSwaps, TheFolderIsMadeBeforeTheDiskIsMeasured) {
    SwappedDisks disks(std::vector<Disk>{{0}, {6000, "FAT", 512}, {6000, "FAT", 512}});
    const std::string bytes = PatternBytes(10000, 1);
    WriteWholeFile(disks.Source(), bytes);
    Split(disks);
    EXPECT_EQ(disks.made, (Texts{"disk 0", "disk 1", "disk 2"}));
    EXPECT_EQ(disks.Rebuilt(), bytes);
    // Disk 2, still in the drive, holds piece 2: what its 5488 bytes left after the folder.
    EXPECT_EQ(ReadWholeFile(disks.Target() + "src.bin_2.brf").size(), 10000u - 5488u);
    EXPECT_EQ(disks.Of("message"), Texts{kDone});
}

TEST(DiskSwaps, TheWholeCopyGoesOntoTheDiskInsertedAtThePrompt) {
    SwappedDisks disks(std::vector<Disk>{{0}, {100000}});
    const std::string bytes = PatternBytes(1000, 2);
    WriteWholeFile(disks.Source(), bytes);
    Split(disks);
    EXPECT_EQ(ReadWholeFile(disks.Target() + "src.bin"), bytes);
    EXPECT_EQ(disks.Of("ask").size(), 2u);
    EXPECT_EQ(disks.Of("message"), Texts{kDone});
}

TEST(DiskSwaps, ADiskThatTakesLessThanItSaidGetsNoPieceAndTheNextDiskGoesOn) {
    SwappedDisks disks(std::vector<Disk>{{0}, {4000}, {4000, "NTFS", 0, true}, {4000}, {4000}});
    const std::string bytes = PatternBytes(10000, 3);
    WriteWholeFile(disks.Source(), bytes);
    Split(disks);
    EXPECT_EQ(disks.Rebuilt(), bytes);
    EXPECT_EQ(disks.Of("ask").size(), 4u);
    EXPECT_EQ(disks.Of("message"), Texts{kDone});
}

TEST(DiskSwaps, AFirstDiskThatTakesNothingLeavesPiece1AndItsCheckLineToTheNext) {
    SwappedDisks disks(std::vector<Disk>{{0}, {4000, "NTFS", 0, true}, {4000}, {4000}, {4000}});
    disks.pieceNumber = 1;
    const std::string bytes = PatternBytes(10000, 4);
    WriteWholeFile(disks.Source(), bytes);
    Split(disks);
    ASSERT_EQ(disks.Rebuilt(), bytes);
    EXPECT_EQ(disks.Of("message"), Texts{kDone});
    // The last disk's check file has every piece as it stands on its disk, then the file.
    std::string expected;
    std::string piece;
    for (int64_t n = 1; !(piece = disks.Piece(n)).empty(); ++n)
        expected += *Sha256Of(piece.data(), piece.size()) + "  " + PieceName("src.bin", n) + "\r\n";
    expected += *Sha256Of(bytes.data(), bytes.size()) + "  src.bin\r\n";
    EXPECT_EQ(ReadWholeFile(disks.Target() + "src.bin.sha256"), expected);
}

TEST(DiskSwaps, ASourceThatCannotGoBackAfterAShortDiskStopsWithoutACheckThatPasses) {
    SwappedDisks disks(std::vector<Disk>{{0}, {4000}, {4000, "NTFS", 0, true}, {4000}, {4000}});
    const std::string bytes = PatternBytes(10000, 5);
    WriteWholeFile(disks.Source(), bytes);
    PipedSource piped(bytes);
    ASSERT_EQ(piped.Open().Seek(0, SeekOrigin::FromBeginning), -1) << "a pipe cannot seek";
    PipedSource source(bytes);
    SplitSystem system = disks.System();
    system.openSource = [&](const std::string&) { return source.Open(); };
    SplitFile(SplitRequestFor(disks.Source(), disks.Target(), SplitMethod::OntoDisks, 0), disks,
              system);
    EXPECT_EQ(disks.Of("message"),
              Texts{"Невозможно прочитать файл src.bin с нужного места! Разделение прервано."});
    // Disk 2 keeps no check file (its piece name is the harness's full device); disk 1's
    // check file lists piece 1 and no whole file, so no join and no sha256sum -c takes the
    // disks for a set.
    EXPECT_FALSE(FileExists(disks.Target() + "src.bin.sha256"));
    const std::string piece1 = disks.OnShelf(1, "src.bin_1.brf");
    ASSERT_FALSE(piece1.empty());
    EXPECT_EQ(piece1, bytes.substr(0, piece1.size()));
    EXPECT_EQ(disks.OnShelf(1, "src.bin.sha256"),
              *Sha256Of(piece1.data(), piece1.size()) + "  src.bin_1.brf\r\n");
    EXPECT_TRUE(disks.Piece(2).empty());
}

TEST(DiskSwaps, AFatDiskGetsNoPieceOrCopyOf4GiBOrMore) {
    // A sparse 5 GiB source; the split is stopped at its first yield, before any byte is
    // written, and the piece it was about to write tells its size.
    SwappedDisks disks(std::vector<Disk>{{0}, {6ull << 30, "FAT32"}});
    HANDLE file = CreateFileA(disks.Source().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 5ll << 30;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    disks.stopAtYield = 1;
    Split(disks);
    EXPECT_EQ(disks.Of("ask").size(), 1u); // no copy offer
    ASSERT_EQ(disks.figures.size(), 1u);
    EXPECT_EQ(disks.figures[0].pieceTotal, 4294967295ll);
    EXPECT_EQ(disks.figures[0].total, 5ll << 30);
}

TEST(DiskSwaps, TheSourceGoneAfterTheFolderStepIsToldInEnglish) {
    SwappedDisks disks(std::vector<Disk>{{0}});
    WriteWholeFile(disks.Source(), "0123456789");
    SplitSystem system = disks.System();
    system.makeFolder = [&](const std::string& path) {
        DeleteFileA(disks.Source().c_str());
        return MakeFolder(path);
    };
    SplitFile(SplitRequestFor(disks.Source(), disks.Target(), SplitMethod::ByCount, 2), disks,
              system);
    EXPECT_EQ(disks.calls, Texts{"message: File src.bin not found."});
}

TEST(SplitOntoDisks, PiecesFillEachDiskInTurn) {
    struct Case {
        size_t fileSize;
        std::vector<std::optional<uint64_t>> disks;
        V pieces;
        int noSpacePrompts;
    };
    const Case cases[] = {
        {3000000, {1457664, 1457664, 1457664}, {1457664, 1457664, 84672}, 0},
        {2000000, {1457664, 0, 1457664}, {1457664, 542336}, 1},
        {2000000, {1457664, std::nullopt, 0, 1457664}, {1457664, 542336}, 2},
        {10, {3, 3, 3, 3, 3}, {3, 3, 3, 1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileSize);
        TempFolder folder;
        const std::string bytes = PatternBytes(c.fileSize, 7);
        WriteWholeFile(folder / "film.avi", bytes);
        ScriptedDisks disks(c.disks);
        RecordingHooks hooks;
        SplitRequest request = ByCount(folder / "film.avi", folder / "A\\", 0);
        request.method = SplitMethod::OntoDisks;
        SplitFile(request, hooks, ScriptedSystem(disks.Query()));
        EXPECT_EQ(PieceSizes(folder / "A\\", "film.avi"), c.pieces);
        EXPECT_EQ(JoinedPieces(folder / "A\\", "film.avi"), bytes);
        const std::string letter = folder.Path().substr(0, 1);
        const std::string insert =
            "Вставте другой диск " + letter + " для записи части film.avi и нажмите Ок.";
        const std::string noSpace = "Свободное место на диске " + letter +
                                    ":\\ отсутствует.\n\rВставте другой диск и нажмите Ок.";
        Texts asks(c.pieces.size(), insert);
        for (int i = 0; i < c.noSpacePrompts; ++i) asks.insert(asks.begin() + 2, noSpace);
        EXPECT_EQ(hooks.Of("ask"), asks);
        EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла film.avi завершенно"});
        EXPECT_EQ(disks.roots.front(), letter + ":\\");
    }
}

TEST(SplitOntoDisks, OffersAWholeCopyWhenTheFileFits) {
    for (uint64_t freeBytes : {1000000ull, 1000001ull, 8ull << 30}) {
        TempFolder folder;
        const std::string bytes = PatternBytes(1000000, 8);
        WriteWholeFile(folder / "film.avi", bytes);
        ScriptedDisks disks{{freeBytes}};
        RecordingHooks hooks;
        SplitRequest request = ByCount(folder / "film.avi", folder / "A\\", 0);
        request.method = SplitMethod::OntoDisks;
        SplitFile(request, hooks, ScriptedSystem(disks.Query()));
        const std::string letter = folder.Path().substr(0, 1);
        EXPECT_EQ(hooks.Of("ask"), (Texts{"Вставте другой диск " + letter +
                                              " для записи части film.avi и нажмите Ок.",
                                          "Свободное место на диске " + letter +
                                              ":\\ ольше размера файла\n\r"
                                              "Копировать файлfilm.avi без разделения?"}));
        EXPECT_EQ(ReadWholeFile(folder / "A\\film.avi"), bytes);
        EXPECT_EQ(FolderEntries(folder / "A\\"), (Texts{"film.avi", "film.avi.sha256"}));
        EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла film.avi завершенно"});
    }
}

TEST(SplitOntoDisks, AnEmptyFileIsCopiedWhole) {
    TempFolder folder;
    WriteWholeFile(folder / "empty", "");
    ScriptedDisks disks{{0}};
    RecordingHooks hooks;
    SplitRequest request = ByCount(folder / "empty", folder / "A\\", 0);
    request.method = SplitMethod::OntoDisks;
    SplitFile(request, hooks, ScriptedSystem(disks.Query()));
    EXPECT_TRUE(FileExists(folder / "A\\empty"));
    EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла empty завершенно"});
}

TEST(SplitOntoDisks, CancelAtAnyPromptStopsWithoutCompletion) {
    // Prompts in order for a 10-byte file on disks of 4, 0, 4, 4 bytes: insert, insert,
    // no space, insert; Cancel at each one in turn.
    for (size_t cancelAt = 0; cancelAt < 4; ++cancelAt) {
        SCOPED_TRACE(cancelAt);
        TempFolder folder;
        WriteWholeFile(folder / "f.bin", "0123456789");
        ScriptedDisks disks{{4, 0, 4, 4}};
        RecordingHooks hooks;
        hooks.answers.assign(cancelAt, true);
        hooks.answers.push_back(false);
        SplitRequest request = ByCount(folder / "f.bin", folder / "A\\", 0);
        request.method = SplitMethod::OntoDisks;
        SplitFile(request, hooks, ScriptedSystem(disks.Query()));
        EXPECT_EQ(hooks.Of("ask").size(), cancelAt + 1);
        EXPECT_EQ(hooks.Of("message"), Texts{});
        EXPECT_EQ(hooks.Of("status"), Texts{});
        const V written[] = {{}, {4}, {4}, {4, 4}};
        EXPECT_EQ(PieceSizes(folder / "A\\", "f.bin"), written[cancelAt]);
        // The source was closed: it can be opened for writing again.
        EXPECT_TRUE(OpenWriteStream(folder / "f.bin").IsOpen());
    }

    TempFolder folder;
    WriteWholeFile(folder / "f.bin", "0123456789");
    ScriptedDisks disks{{100}};
    RecordingHooks hooks;
    hooks.answers = {true, false};
    SplitRequest request = ByCount(folder / "f.bin", folder / "A\\", 0);
    request.method = SplitMethod::OntoDisks;
    SplitFile(request, hooks, ScriptedSystem(disks.Query()));
    EXPECT_EQ(FolderEntries(folder / "A\\"), Texts{});
    EXPECT_EQ(hooks.Of("message"), Texts{});
}

TEST(SplitOntoDisks, MakesTheFolderOnEachFreshDisk) {
    TempFolder folder;
    WriteWholeFile(folder / "f.bin", "0123456789");
    ScriptedDisks disks{{6, 6}};
    SplitRequest request = ByCount(folder / "f.bin", folder / "A\\", 0);
    request.method = SplitMethod::OntoDisks;
    // Between the disks the user takes the first disk out: its piece and folder leave.
    struct : RecordingHooks {
        std::string folder;
        bool AskOkCancel(const std::string& text) override {
            if (FileExists(folder + "f.bin_1.brf")) {
                MoveFileA((folder + "f.bin_1.brf").c_str(), (folder + "..\\disk1.brf").c_str());
                RemoveDirectoryA(folder.c_str());
            }
            return RecordingHooks::AskOkCancel(text);
        }
    } swapping;
    swapping.folder = folder / "A\\";
    SplitFile(request, swapping, ScriptedSystem(disks.Query()));
    EXPECT_EQ(ReadWholeFile(folder / "disk1.brf"), "012345");
    EXPECT_EQ(ReadWholeFile(folder / "A\\f.bin_2.brf"), "6789");
    EXPECT_EQ(swapping.Of("message"), Texts{"Разделение файла f.bin завершенно"});
}

TEST(SplitOntoDisks, WholeCopyOntoAFullDiskIsReported) {
    TempFolder folder;
    const std::string full = folder / "full\\";
    MakeFolder(full);
    FullDeviceLink link(full, "whole.bin");
    ASSERT_TRUE(link.Made());
    WriteWholeFile(folder / "whole.bin", PatternBytes(5000, 3));
    ScriptedDisks disks{{1ull << 40}};
    RecordingHooks hooks;
    SplitRequest request = ByCount(folder / "whole.bin", full, 0);
    request.method = SplitMethod::OntoDisks;
    SplitFile(request, hooks, ScriptedSystem(disks.Query()));
    const std::string letter = folder.Path().substr(0, 1);
    EXPECT_EQ(hooks.Of("message"), Texts{"Файл whole.bin не помещается на диск " + letter +
                                         ":\\. Неполная копия удалена."});
}
