// Faults from outside and bad input at the engine's boundary: every case ends in a clear
// message or a complete result, the source stays as it was, and nothing half-written is
// reported as done.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "HeapPeak.h"
#include "TestFiles.h"
#include "engine/pieces/Calculator.h"
#include "engine/system/FileServices.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"
#include "engine/system/Text.h"

namespace {

using Texts = std::vector<std::string>;
using Sizes = std::vector<int64_t>;

const std::string kSplitDone = "Разделение файла data.bin завершенно";

// Recording hooks that also do something of their own whenever the engine lets messages in.
struct MeddlingHooks : RecordingHooks {
    std::function<void()> onKeep;
    std::function<void(const std::string&)> onStatus;
    void KeepResponsive() override {
        RecordingHooks::KeepResponsive();
        if (onKeep) onKeep();
    }
    void SetStatus(const std::string& text) override {
        RecordingHooks::SetStatus(text);
        if (onStatus) onStatus(text);
    }
};

void CutFile(const std::string& path, int64_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = size;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

} // namespace

TEST(SourceFaults, RemovedBeforeTheSplitOpensIt) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", PatternBytes(30, 1));
    MeddlingHooks hooks;
    bool removed = false;
    hooks.onKeep = [&] {
        if (!removed) removed = DeleteFileA((folder / "data.bin").c_str()) != 0;
    };
    SplitFile(SplitRequestFor(folder / "data.bin", folder / "out\\", SplitMethod::ByCount, 3),
              hooks);
    EXPECT_TRUE(removed);
    EXPECT_EQ(hooks.Of("message"), Texts{"Невозможно открыть файл data.bin для чтения!"});
    EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{});
}

TEST(SourceFaults, ShortenedBeforeTheSplitReadsItIsNotReportedAsDone) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", PatternBytes(30, 2));
    MeddlingHooks hooks;
    bool cut = false;
    hooks.onKeep = [&] {
        if (!cut) CutFile(folder / "data.bin", 5);
        cut = true;
    };
    SplitFile(SplitRequestFor(folder / "data.bin", folder / "out\\", SplitMethod::ByCount, 3),
              hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{"Невозможно прочитать файл data.bin полностью!"});
    EXPECT_EQ(hooks.Of("status"), Texts{"Разделение файла data.bin to data.bin_1.brf"});
}

TEST(SourceFaults, CannotBeRemovedOrChangedWhileItIsSplit) {
    TempFolder folder;
    const std::string bytes = PatternBytes(3000, 3);
    WriteWholeFile(folder / "data.bin", bytes);
    for (SplitMethod method : {SplitMethod::ByCount, SplitMethod::BySize}) {
        MeddlingHooks hooks;
        int refused = 0;
        // Between pieces the split holds the source open for reading only.
        hooks.onStatus = [&](const std::string& text) {
            if (text.size() < 4 || text.compare(text.size() - 4, 4, ".brf") != 0) return;
            refused += !DeleteFileA((folder / "data.bin").c_str());
            refused += !OpenWriteStream(folder / "data.bin").IsOpen();
        };
        const std::string out = folder / (method == SplitMethod::ByCount ? "count\\" : "size\\");
        SplitFile(SplitRequestFor(folder / "data.bin", out, method,
                                  method == SplitMethod::ByCount ? 3 : 1000),
                  hooks);
        EXPECT_EQ(refused, 6);
        EXPECT_EQ(hooks.Of("message"), Texts{kSplitDone});
        EXPECT_TRUE(JoinedPieces(out, "data.bin") == bytes);
        EXPECT_TRUE(ReadWholeFile(folder / "data.bin") == bytes);
    }
}

TEST(JoinFaults, PieceRemovedAfterTheCountStopsBeforeTheOutputIsReplaced) {
    TempFolder pieces, target;
    WriteWholeFile(pieces / "film.avi_1.brf", "abc");
    WriteWholeFile(pieces / "film.avi_2.brf", "def");
    WriteWholeFile(pieces / "film.avi_3.brf", "gh");
    WriteWholeFile(target / "film.avi", "the old file");
    MeddlingHooks hooks;
    hooks.onStatus = [&](const std::string&) { DeleteFileA((pieces / "film.avi_3.brf").c_str()); };
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Невозможно открыть часть " + pieces / "film.avi_3.brf" + " для чтения!"});
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "the old file");
    EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
}

TEST(JoinFaults, OutputNameTakenByAFolder) {
    TempFolder pieces, target;
    WriteWholeFile(pieces / "film.avi_1.brf", "abc");
    MakeFolder(target / "film.avi");
    WriteWholeFile(target / "film.avi\\inside.txt", "kept");
    RecordingHooks hooks;
    JoinPieces(pieces / "film.avi_1.brf", target.Path(), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{"Невозможно создание файла " + target / "film.avi" + "!"});
    EXPECT_EQ(ReadWholeFile(target / "film.avi\\inside.txt"), "kept");
    EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
}

// The set carries no lengths, so a shortened piece cannot be told from a short one: the join
// restores exactly what the pieces hold and leaves them as they are.
TEST(JoinFaults, ShortenedPieceIsJoinedAsItStands) {
    TempFolder pieces, target;
    WriteWholeFile(pieces / "film.avi_1.brf", "abcd");
    WriteWholeFile(pieces / "film.avi_2.brf", "ef");
    WriteWholeFile(pieces / "film.avi_3.brf", "ijkl");
    RecordingHooks hooks;
    JoinPieces(pieces / "film.avi_2.brf", target.Path(), hooks);
    EXPECT_EQ(ReadWholeFile(target / "film.avi"), "abcdefijkl");
    EXPECT_EQ(ReadWholeFile(pieces / "film.avi_2.brf"), "ef");
}

namespace {

// One text typed into the count box or the size box, as the window reads it.
struct TextCase {
    const char* text;
    int64_t multiplier;
    const char* message; // nullptr: the split completes with the pieces below
    Sizes pieces;
};

// The figures of the text follow the split's rule: a refused number shows no pieces (a count
// of 1, no split, shows the whole file as its piece), a taken one shows what the split wrote.
void ExpectFiguresAgree(SplitMethod method, size_t fileSize, const TextCase& c) {
    const auto size = static_cast<int64_t>(fileSize);
    if (method == SplitMethod::ByCount) {
        const SizeFigures figures = FiguresByCount(c.text, size);
        const std::string shown = figures.pieceSize.value_or("Размер части : 0");
        if (!c.message) {
            EXPECT_EQ(shown, "Размер части : " + DecimalText(c.pieces.back()));
        } else if (ParseDecimalWide(c.text) == 1) {
            EXPECT_EQ(shown, "Размер части : " + DecimalText(size));
        } else {
            EXPECT_EQ(shown, "Размер части : 0");
        }
        return;
    }
    const SizeFigures figures = FiguresBySize(c.text, c.multiplier, size);
    const std::string shown = figures.pieceCount.value_or("Количество частей : 0");
    const int64_t written = c.message ? 0 : static_cast<int64_t>(c.pieces.size());
    EXPECT_EQ(shown, "Количество частей : " + DecimalText(written));
}

void SplitFromTexts(SplitMethod method, size_t fileSize, const std::vector<TextCase>& cases) {
    TempFolder folder;
    const std::string bytes = PatternBytes(fileSize, 4);
    WriteWholeFile(folder / "data.bin", bytes);
    int round = 0;
    for (const TextCase& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        const std::string out = folder / ("out" + DecimalText(++round) + "\\");
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(folder / "data.bin", out, method, ParseDecimalWide(c.text),
                                  c.multiplier),
                  hooks);
        ExpectFiguresAgree(method, fileSize, c);
        if (c.message) {
            EXPECT_EQ(hooks.calls, Texts{std::string("message: ") + c.message});
            EXPECT_EQ(FolderEntries(out), Texts{});
        } else {
            EXPECT_EQ(hooks.Of("message"), Texts{kSplitDone});
            EXPECT_EQ(PieceSizes(out, "data.bin"), c.pieces);
            EXPECT_TRUE(JoinedPieces(out, "data.bin") == bytes);
        }
    }
    EXPECT_TRUE(ReadWholeFile(folder / "data.bin") == bytes);
}

} // namespace

TEST(BadInput, CountTexts) {
    const char* atMostOne = "Количество частей меньше или равно 1";
    const char* tooMany = "Количество частей слишком велико";
    const char* larger = "Размер части больше размера файла data.bin";
    SplitFromTexts(SplitMethod::ByCount, 10,
                   {
                       {"", 1, atMostOne, {}},
                       {"+", 1, atMostOne, {}},
                       {"-", 1, atMostOne, {}},
                       {"-3", 1, atMostOne, {}},
                       {" 3", 1, atMostOne, {}},
                       {"abc", 1, atMostOne, {}},
                       {".5", 1, atMostOne, {}},
                       {"1.9", 1, atMostOne, {}},
                       {"-2147483648", 1, atMostOne, {}},
                       {"-4294967294", 1, atMostOne, {}}, // 2 in 32-bit arithmetic
                       {"+3", 1, nullptr, {3, 3, 4}},
                       {"3 ", 1, nullptr, {3, 3, 4}},
                       {"3.9", 1, nullptr, {3, 3, 4}},
                       {"3abc", 1, nullptr, {3, 3, 4}},
                       {"11", 1, larger, {}},
                       {"2147483647", 1, larger, {}},
                       {"2147483648", 1, tooMany, {}},
                       {"2147483649", 1, tooMany, {}},
                       {"4294967295", 1, tooMany, {}},
                       {"4294967296", 1, tooMany, {}},
                       {"4294967297", 1, tooMany, {}},
                       {"4294967298", 1, tooMany, {}}, // 2 in 32-bit arithmetic
                       {"12345678901", 1, tooMany, {}},
                       {"123456789012345678901234567890", 1, tooMany, {}},
                   });
}

TEST(BadInput, SizeTexts) {
    const char* belowOne = "Размер части менее 1 байта";
    const char* tooLarge = "Размер части слишком велик";
    const char* larger = "Размер части больше размера файла data.bin";
    SplitFromTexts(SplitMethod::BySize, 3000,
                   {
                       {"", 1, belowOne, {}},
                       {"+", 1, belowOne, {}},
                       {"-", 1, belowOne, {}},
                       {"0", 1, belowOne, {}},
                       {"-1000", 1, belowOne, {}},
                       {" 1000", 1, belowOne, {}},
                       {"abc", 1, belowOne, {}},
                       {".5", 1, belowOne, {}},
                       {"-4294966296", 1, belowOne, {}}, // 1000 in 32-bit arithmetic
                       // Read as -(2^63 - 1); times 1024 it wraps round to 1024 in 64 bits.
                       {"-99999999999999999999", 1024, belowOne, {}},
                       {"-99999999999999999999", 1048576, belowOne, {}},
                       {"+1000", 1, nullptr, {1000, 1000, 1000}},
                       {"1000 ", 1, nullptr, {1000, 1000, 1000}},
                       {"1000.9", 1, nullptr, {1000, 1000, 1000}},
                       {"1.44", 1024, nullptr, {1024, 1024, 952}},
                       {"2.88", 1024, nullptr, {2048, 952}},
                       {"3001", 1, larger, {}},
                       {"2147483647", 1, larger, {}},
                       {"2097152", 1024, larger, {}}, // 2^31 bytes: negative in 32 bits
                       {"4194304", 1024, larger, {}}, // 2^32 bytes: 0 in 32 bits
                       {"2048", 1048576, larger, {}},
                       {"4096", 1048576, larger, {}},
                       {"2147483648", 1, tooLarge, {}},
                       {"4294967296", 1, tooLarge, {}}, // 0 in 32-bit arithmetic
                       {"4294967297", 1, tooLarge, {}}, // 1 in 32-bit arithmetic
                       {"4294968296", 1, tooLarge, {}}, // 1000 in 32-bit arithmetic
                       {"12345678901", 1, tooLarge, {}},
                       {"123456789012345678901234567890", 1048576, tooLarge, {}},
                   });
}

TEST(BadInput, SourcePaths) {
    TempFolder folder;
    const std::string bytes = PatternBytes(10, 5);
    WriteWholeFile(folder / "data.bin", bytes);
    std::string slashed = folder / "data.bin";
    for (char& c : slashed)
        if (c == '\\') c = '/';
    // The forward slash is no separator: the whole text after the drive's ":" is the name.
    const std::string slashedName = FileNamePart(slashed);
    const std::pair<std::string, Texts> cases[] = {
        {"", {"message: Файл  не найден."}},
        {folder.Path(), {"message: Файл  не найден."}},
        {folder / "data.bin\\", {"message: Файл  не найден."}},
        {folder / "data.bin:", {"message: Файл  не найден."}},
        {folder / "*.bin", {"message: Файл *.bin не найден."}},
        {folder / "data.?in", {"message: Файл data.?in не найден."}},
        {slashed,
         {"keep", "keep",
          "message: Невозможно создание части " + (folder / "out\\") + slashedName + "_1.brf!"}},
    };
    for (const auto& [source, calls] : cases) {
        SCOPED_TRACE(source);
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(source, folder / "out\\", SplitMethod::ByCount, 2), hooks);
        EXPECT_EQ(hooks.calls, calls);
        EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{});
    }
    EXPECT_EQ(FolderEntries(folder.Path()), (Texts{"data.bin", "out"}));
    EXPECT_EQ(ReadWholeFile(folder / "data.bin"), bytes);
}

TEST(BadInput, TargetFolders) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", "0123456789");
    for (const std::string& target :
         {folder / "*\\", folder / "o?t\\", folder / "a\\b\\", std::string()}) {
        SCOPED_TRACE(target);
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(folder / "data.bin", target, SplitMethod::ByCount, 2), hooks);
        EXPECT_EQ(hooks.calls, Texts{"message: Невозможно создание папки для частей файла!"});
    }
    EXPECT_EQ(FolderEntries(folder.Path()), Texts{"data.bin"});
    // A folder text ending in "/" names the folder all the same.
    RecordingHooks hooks;
    SplitFile(SplitRequestFor(folder / "data.bin", folder / "out/", SplitMethod::ByCount, 2),
              hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{kSplitDone});
    EXPECT_EQ(PieceSizes(folder / "out\\", "data.bin"), (Sizes{5, 5}));
}

// Paths of 259 characters always work; longer ones may exceed what the system takes, and
// then the split says so instead of finishing. The longest path of a set of two pieces is its
// check file's, "<name>.sha256", one longer than piece 1's. The join is held to the same.
TEST(BadInput, PathsAtTheLengthLimit) {
    for (size_t length : {259u, 260u, 261u, 262u}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const size_t nameLength = length - folder.Path().size() - std::string(".sha256").size();
        const std::string name(nameLength, 'n');
        const std::string bytes = PatternBytes(20, 6);
        WriteWholeFile(folder / name, bytes);
        ASSERT_EQ(ReadWholeFile(folder / name), bytes);
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(folder / name, folder.Path(), SplitMethod::ByCount, 2), hooks);
        const std::string piece1 = PiecePath(folder.Path(), name, 1);
        const std::string check = folder.Path() + name + ".sha256";
        ASSERT_EQ(check.size(), length);
        if (length == 259 ||
            hooks.Of("message") == Texts{"Разделение файла " + name + " завершенно"}) {
            EXPECT_EQ(JoinedPieces(folder.Path(), name), bytes);
            EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла " + name + " завершенно"});
        } else {
            const Texts messages = hooks.Of("message");
            EXPECT_TRUE(messages == Texts{"Невозможно создание части " + piece1 + "!"} ||
                        messages == Texts{"Невозможно создание файла " + check + "!"})
                << messages[0];
            EXPECT_EQ(FolderEntries(folder.Path()), Texts{name});
            continue;
        }
        // The join puts the restored file next to its gathering file, whose name is longer.
        TempFolder target;
        const std::string output = target.Path() + name;
        RecordingHooks joined;
        JoinPieces(piece1, target.Path(), joined);
        const Texts messages = joined.Of("message");
        ASSERT_EQ(messages.size(), 1u);
        if (messages[0].rfind("Востановление файла " + output + " завершенно", 0) == 0) {
            EXPECT_EQ(ReadWholeFile(output), bytes);
        } else {
            EXPECT_EQ(messages[0].rfind("Невозможно создание файла ", 0), 0u) << messages[0];
            EXPECT_EQ(FolderEntries(target.Path()), Texts{});
        }
    }
}

// A write stream cuts the file where the last write ended; runs of writes cut it once, and
// every move of the position makes the next write cut again.
TEST(StaleTails, AnOldLongerFileNeverKeepsItsTail) {
    TempFolder folder;
    const std::string path = folder / "old.bin";
    WriteWholeFile(path, std::string(100, 'o'));
    {
        FileStream stream = OpenWriteStream(path);
        for (const char* run : {"abc", "def", "ghi"}) EXPECT_EQ(stream.Write(run, 3), 3u);
    }
    EXPECT_EQ(ReadWholeFile(path), "abcdefghi");
    {
        FileStream stream = OpenWriteStream(path);
        EXPECT_EQ(stream.Write("12345", 5), 5u);
        EXPECT_EQ(stream.Seek(2, SeekOrigin::FromBeginning), 2);
        EXPECT_EQ(stream.Write("x", 1), 1u);
        EXPECT_EQ(stream.Write("y", 1), 1u);
    }
    EXPECT_EQ(ReadWholeFile(path), "12xy");
    {
        FileStream stream = OpenWriteStream(path);
        EXPECT_EQ(stream.Seek(6, SeekOrigin::FromBeginning), 6);
        EXPECT_EQ(stream.Write("z", 1), 1u);
        EXPECT_EQ(stream.Seek(-3, SeekOrigin::FromCurrent), 4);
        EXPECT_EQ(stream.Write(nullptr, 0), 0u);
    }
    EXPECT_EQ(ReadWholeFile(path), std::string("12xy"));

    // Copies through a small buffer into files longer than what they receive.
    const std::string source = PatternBytes(1000, 7);
    WriteWholeFile(folder / "source.bin", source);
    CopyBufferScope shrunk(64);
    for (int64_t count : {1, 63, 64, 65, 640, 1000}) {
        WriteWholeFile(path, std::string(5000, 'o'));
        FileStream in = OpenReadStream(folder / "source.bin");
        {
            FileStream out = OpenWriteStream(path);
            EXPECT_EQ(CopyBetweenStreams(out, in, count), count);
        }
        EXPECT_EQ(ReadWholeFile(path), source.substr(0, count)) << count;
    }
}

// Memory refused at any one request of a split or a join (the 32-bit address space is
// small): the operation ends with its message, the program goes on, and nothing but a
// resumable set is left; the same operation then succeeds.
TEST(OutOfMemory, ARefusedRequestAnywhereEndsTheOperationCleanly) {
    TempFolder folder, target;
    const std::string bytes = PatternBytes(6000, 77);
    WriteWholeFile(folder / "data.bin", bytes);
    const SplitRequest request =
        SplitRequestFor(folder / "data.bin", folder.Path(), SplitMethod::ByCount, 3);
    const std::string splitRefused =
        "Недостаточно памяти для разделения файла data.bin. Разделение прервано.";
    const std::string joinRefused =
        "Недостаточно памяти для соединения частей. Соединение прервано, файл не записан.";
    bool refusedOnce = false;
    for (size_t after = 1;; after += 7) {
        RecordingHooks split;
        heap::refuseAfter = after;
        SplitFile(request, split);
        const bool refused = heap::refuseAfter == 0;
        heap::refuseAfter = 0;
        if (!refused) break;
        refusedOnce = true;
        EXPECT_EQ(split.Of("message"), Texts{splitRefused}) << after;
    }
    EXPECT_TRUE(refusedOnce);
    RecordingHooks split;
    split.replies.push_back(Reply::No);
    SplitFile(request, split);
    ASSERT_EQ(split.Of("message").back(), kSplitDone);
    refusedOnce = false;
    const std::string piece = PiecePath(folder.Path(), "data.bin", 1);
    for (size_t after = 1;; after += 5) {
        RecordingHooks join;
        heap::refuseAfter = after;
        JoinPieces(piece, target.Path(), join);
        const bool refused = heap::refuseAfter == 0;
        heap::refuseAfter = 0;
        if (!refused) break;
        refusedOnce = true;
        EXPECT_EQ(join.Of("message").back(), joinRefused) << after;
        // Refused once the file had its name (the recording of the last message itself): the
        // file is whole; before that, nothing is there.
        if (FileExists(target / "data.bin")) {
            EXPECT_TRUE(ReadWholeFile(target / "data.bin") == bytes) << after;
            RemoveFile(target / "data.bin");
        }
        EXPECT_EQ(FolderEntries(target.Path()), Texts{}) << after;
    }
    EXPECT_TRUE(refusedOnce);
    RecordingHooks join;
    JoinPieces(piece, target.Path(), join);
    EXPECT_TRUE(ReadWholeFile(target / "data.bin") == bytes);
}
