// The split by count and by size: the pieces, the progress, and the inputs refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "TestFiles.h"
#include "engine/system/FileServices.h"
#include "engine/pieces/PieceSet.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

SplitRequest ByCount(const std::string& source, const std::string& folder, int64_t count) {
    return SplitRequestFor(source, folder, SplitMethod::ByCount, count);
}

SplitRequest BySize(const std::string& source, const std::string& folder, int64_t value,
                    int64_t multiplier = 1) {
    return SplitRequestFor(source, folder, SplitMethod::BySize, value, multiplier);
}

using V = std::vector<int64_t>;

} // namespace

TEST(SplitByCountAndSize, PieceSizesFollowTheMethod) {
    struct Case {
        size_t fileSize;
        SplitMethod method;
        int64_t value;
        int64_t multiplier;
        V sizes;
    };
    const Case cases[] = {
        {10, SplitMethod::ByCount, 3, 1, {3, 3, 4}},
        {10, SplitMethod::ByCount, 9, 1, {1, 1, 1, 1, 1, 1, 1, 1, 2}},
        {10, SplitMethod::BySize, 4, 1, {4, 4, 2}},
        {10, SplitMethod::BySize, 5, 1, {5, 5}},
        {10, SplitMethod::BySize, 10, 1, {10}},
        {3000, SplitMethod::BySize, 1, 1024, {1024, 1024, 952}},
        {2048, SplitMethod::BySize, 1, 1024, {1024, 1024}},
        {3000000, SplitMethod::BySize, 1, 1048576, {1048576, 1048576, 3000000 - 2 * 1048576}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileSize << " bytes, value " << c.value);
        TempFolder folder;
        const std::string source = folder / "film.avi";
        const std::string bytes = PatternBytes(c.fileSize, static_cast<uint32_t>(c.value));
        WriteWholeFile(source, bytes);
        const std::string out = folder / "out\\";
        RecordingHooks hooks;
        SplitFile(c.method == SplitMethod::ByCount ? ByCount(source, out, c.value)
                                                   : BySize(source, out, c.value, c.multiplier),
                  hooks);
        EXPECT_EQ(PieceSizes(out, "film.avi"), c.sizes);
        EXPECT_EQ(JoinedPieces(out, "film.avi"), bytes);
        EXPECT_EQ(FolderEntries(out).size(), c.sizes.size() + 1)
            << "the pieces and their check file";
        EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла film.avi завершенно"});
        EXPECT_EQ(ReadWholeFile(source), bytes);
    }
}

TEST(SplitByCountAndSize, TellsProgressAndCompletionInOrder) {
    TempFolder folder;
    WriteWholeFile(folder / "a_b", "0123456789");
    RecordingHooks byCount;
    SplitFile(ByCount(folder / "a_b", folder.Path(), 3), byCount);
    EXPECT_EQ(byCount.calls, (Texts{"keep", "keep", "status: Разделение файла a_b to a_b_1.brf",
                                    "keep", "status: Разделение файла a_b to a_b_2.brf", "keep",
                                    "status: Разделение файла a_b to a_b_3.brf", "keep",
                                    "message: Разделение файла a_b завершенно",
                                    "status: Разделение файла a_b завершенно"}));

    RecordingHooks bySize;
    SplitFile(BySize(folder / "a_b", folder.Path(), 5), bySize);
    EXPECT_EQ(bySize.calls, (Texts{"keep", "status: Разделение файла a_b в a_b_1.brf", "keep",
                                   "status: Разделение файла a_b в a_b_2.brf",
                                   "message: Разделение файла a_b завершенно",
                                   "status: Разделение файла a_b завершенно"}));
}

TEST(SplitByCountAndSize, ACountEqualToTheSizeWritesOneBytePieces) {
    TempFolder folder;
    WriteWholeFile(folder / "ten", "0123456789");
    RecordingHooks hooks;
    SplitFile(ByCount(folder / "ten", folder.Path(), 10), hooks);
    EXPECT_EQ(PieceSizes(folder.Path(), "ten"), V(10, 1));
    EXPECT_EQ(JoinedPieces(folder.Path(), "ten"), "0123456789");
    EXPECT_EQ(hooks.Of("message"), Texts{"Разделение файла ten завершенно"});
}

TEST(SplitByCountAndSize, RefusedInputsWriteNothing) {
    struct Case {
        SplitRequest (*make)(const std::string&, const std::string&, int64_t);
        int64_t value;
        size_t fileSize;
        const char* message;
    };
    auto count = [](const std::string& s, const std::string& f, int64_t v) {
        return ByCount(s, f, v);
    };
    auto bytes = [](const std::string& s, const std::string& f, int64_t v) {
        return BySize(s, f, v);
    };
    auto megabytes = [](const std::string& s, const std::string& f, int64_t v) {
        return BySize(s, f, v, 1048576);
    };
    const Case cases[] = {
        {count, 1, 10, "Количество частей меньше или равно 1"},
        {count, 0, 10, "Количество частей меньше или равно 1"},
        {count, -5, 10, "Количество частей меньше или равно 1"},
        {count, 11, 10, "Размер части больше размера файла data.bin"},
        {count, 2, 0, "Размер части больше размера файла data.bin"},
        {count, 4294967297LL, 10, "Количество частей слишком велико"},
        {count, 2147483648LL, 10, "Количество частей слишком велико"},
        {count, 2147483647LL, 10, "Размер части больше размера файла data.bin"},
        {bytes, 0, 10, "Размер части менее 1 байта"},
        {bytes, -1, 10, "Размер части менее 1 байта"},
        {bytes, 11, 10, "Размер части больше размера файла data.bin"},
        {bytes, 1, 0, "Размер части больше размера файла data.bin"},
        {bytes, 2147483648LL, 10, "Размер части слишком велик"},
        {bytes, 9223372036854775807LL, 10, "Размер части слишком велик"},
        {megabytes, 2147483647LL, 10, "Размер части больше размера файла data.bin"},
        {megabytes, 4096, 10, "Размер части больше размера файла data.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SCOPED_TRACE(c.value);
        TempFolder folder;
        WriteWholeFile(folder / "data.bin", PatternBytes(c.fileSize, 1));
        RecordingHooks hooks;
        SplitFile(c.make(folder / "data.bin", folder / "out\\", c.value), hooks);
        EXPECT_EQ(hooks.calls, Texts{std::string("message: ") + c.message});
        EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{});
    }
}

TEST(SplitChecks, SourceAndFolderComeFirst) {
    TempFolder folder;
    MakeFolder(folder / "sub");
    WriteWholeFile(folder / "data.bin", "0123456789");

    RecordingHooks missing;
    SplitFile(ByCount(folder / "missing.bin", folder.Path(), 2), missing);
    EXPECT_EQ(missing.calls, Texts{"message: Файл missing.bin не найден."});

    RecordingHooks aFolder;
    SplitFile(ByCount(folder / "sub", folder.Path(), 2), aFolder);
    EXPECT_EQ(aFolder.calls, Texts{"message: Файл sub не найден."});

    RecordingHooks deep;
    SplitFile(ByCount(folder / "data.bin", folder / "no\\such\\", 2), deep);
    EXPECT_EQ(deep.calls, Texts{"message: Невозможно создание папки для частей файла!"});
    EXPECT_FALSE(IsExistingFolder(folder / "no"));

    RecordingHooks noFolder;
    SplitFile(ByCount(folder / "data.bin", "", 2), noFolder);
    EXPECT_EQ(noFolder.calls, Texts{"message: Невозможно создание папки для частей файла!"});

    RecordingHooks oneLevel;
    SplitFile(ByCount(folder / "data.bin", folder / "new\\", 2), oneLevel);
    EXPECT_EQ(PieceSizes(folder / "new\\", "data.bin"), (V{5, 5}));
}

TEST(SplitByCountAndSize, ASecondSplitIntoFewerPiecesRemovesTheHigherOnes) {
    TempFolder folder;
    WriteWholeFile(folder / "x.dat", PatternBytes(100, 1));
    RecordingHooks hooks;
    SplitFile(ByCount(folder / "x.dat", folder / "p\\", 5), hooks);
    // Beyond a gap nothing belongs to the run of the older set.
    WriteWholeFile(folder / "p\\x.dat_7.brf", "seven");
    const std::string second = PatternBytes(30, 2);
    WriteWholeFile(folder / "x.dat", second);
    SplitFile(ByCount(folder / "x.dat", folder / "p\\", 2), hooks);
    EXPECT_EQ(FolderEntries(folder / "p\\"),
              (Texts{"x.dat.sha256", "x.dat_1.brf", "x.dat_2.brf", "x.dat_7.brf"}));
    EXPECT_EQ(JoinedPieces(folder / "p\\", "x.dat"), second);
    EXPECT_EQ(hooks.Of("message"), Texts(2, "Разделение файла x.dat завершенно"));

    // A folder in the run is left, and ends the run.
    WriteWholeFile(folder / "x.dat", PatternBytes(100, 3));
    SplitFile(BySize(folder / "x.dat", folder / "p\\", 20), hooks);
    MakeFolder(folder / "p\\x.dat_6.brf");
    SplitFile(BySize(folder / "x.dat", folder / "p\\", 50), hooks);
    EXPECT_EQ(FolderEntries(folder / "p\\"),
              (Texts{"x.dat.sha256", "x.dat_1.brf", "x.dat_2.brf", "x.dat_6.brf", "x.dat_7.brf"}));
    EXPECT_TRUE(IsExistingFolder(folder / "p\\x.dat_6.brf"));
}

TEST(SplitRoundTrip, PiecesConcatenateToTheSourceForManySizesAndBuffers) {
    std::mt19937 random(20261207);
    for (uint32_t buffer : {1u, 2u, 7u, 0u}) {
        CopyBufferScope shrunk(buffer);
        TempFolder folder;
        for (int round = 0; round < 12; ++round) {
            const size_t fileSize = 1 + random() % (buffer == 0 ? 3u << 20 : 300);
            const std::string bytes = PatternBytes(fileSize, random());
            WriteWholeFile(folder / "r.bin", bytes);
            const bool byCount = round % 2 == 0;
            const int64_t value =
                byCount ? 2 + random() % std::min<size_t>(fileSize, 40) : 1 + random() % fileSize;
            SCOPED_TRACE(testing::Message() << "buffer " << buffer << " size " << fileSize
                                            << (byCount ? " count " : " piece ") << value);
            if (byCount && value > static_cast<int64_t>(fileSize)) continue;
            const std::string out = folder / ("set" + std::to_string(round) + "\\");
            RecordingHooks hooks;
            SplitFile(byCount ? ByCount(folder / "r.bin", out, value)
                              : BySize(folder / "r.bin", out, value),
                      hooks);
            EXPECT_EQ(JoinedPieces(out, "r.bin"), bytes);
            const int64_t expected = byCount ? value : (fileSize + value - 1) / value;
            EXPECT_EQ(static_cast<int64_t>(FolderEntries(out).size()), expected + 1)
                << "the pieces and their check file";
        }
    }
}

TEST(SplitRoundTrip, SizesAroundTheCopyBuffer) {
    const int64_t buffer = CopyBufferSize();
    TempFolder folder;
    for (int64_t fileSize : {buffer - 1, buffer, buffer + 1, 2 * buffer + 5}) {
        const std::string bytes =
            PatternBytes(static_cast<size_t>(fileSize), static_cast<uint32_t>(fileSize));
        WriteWholeFile(folder / "b.bin", bytes);
        for (int64_t piece : {buffer - 1, buffer, buffer + 1}) {
            if (piece > fileSize) continue;
            SCOPED_TRACE(testing::Message() << fileSize << " in pieces of " << piece);
            const std::string out =
                folder / (std::to_string(fileSize) + "_" + std::to_string(piece) + "\\");
            RecordingHooks hooks;
            SplitFile(BySize(folder / "b.bin", out, piece), hooks);
            EXPECT_EQ(JoinedPieces(out, "b.bin"), bytes);
            RemoveTree(out);
        }
    }
}

TEST(SplitFaults, PieceNameTakenByAFolderStopsWithoutCompletion) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", PatternBytes(30, 4));
    MakeFolder(folder / "data.bin_2.brf");
    RecordingHooks hooks;
    SplitFile(ByCount(folder / "data.bin", folder.Path(), 3), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Невозможно создание части " + (folder / "data.bin_2.brf") + "!"});
    EXPECT_EQ(hooks.Of("status"), Texts{"Разделение файла data.bin to data.bin_1.brf"});
    // Piece 1 was written and goes: a partial set would join into a shorter file.
    EXPECT_EQ(FolderEntries(folder.Path()), (Texts{"data.bin", "data.bin_2.brf"}));
}

TEST(SplitFaults, TargetHeldOpenByAnotherProgram) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", PatternBytes(30, 4));
    LockedFile held(folder / "data.bin_1.brf");
    ASSERT_TRUE(held.IsOpen());
    RecordingHooks hooks;
    SplitFile(BySize(folder / "data.bin", folder.Path(), 10), hooks);
    EXPECT_EQ(hooks.calls,
              Texts{"message: Невозможно создание части " + (folder / "data.bin_1.brf") + "!"});
}

TEST(SplitFaults, SourceHeldOpenForWritingCannotBeRead) {
    TempFolder folder;
    WriteWholeFile(folder / "data.bin", PatternBytes(30, 4));
    LockedFile held(folder / "data.bin");
    RecordingHooks hooks;
    SplitFile(BySize(folder / "data.bin", folder / "out\\", 10), hooks);
    EXPECT_EQ(hooks.Of("message"), Texts{"Невозможно открыть файл data.bin для чтения!"});
    EXPECT_EQ(FolderEntries(folder / "out\\"), Texts{});
}

TEST(SplitFaults, FullDiskStopsAtThePieceThatCannotBeWritten) {
    TempFolder folder;
    const std::string full = folder / "full\\";
    MakeFolder(full);
    FullDeviceLink link(full, "full.bin_2.brf");
    ASSERT_TRUE(link.Made());
    WriteWholeFile(folder / "full.bin", PatternBytes(3000, 5));
    RecordingHooks hooks;
    SplitFile(BySize(folder / "full.bin", full, 1000), hooks);
    EXPECT_EQ(hooks.Of("message"),
              Texts{"Невозможно записать часть " + full + "full.bin_2.brf полностью!"});
    EXPECT_FALSE(FileExists(full + "full.bin_1.brf"));
    EXPECT_FALSE(FileExists(full + "full.bin_3.brf"));
}
