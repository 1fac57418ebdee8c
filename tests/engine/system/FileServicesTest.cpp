// File streams, the copy between them and its pace, and the services on sizes, folders, disks and
// priority.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/system/FileServices.h"

TEST(FileStreams, WriteStreamCutsTheFileWhereTheLastWriteEnded) {
    TempFolder folder;
    const std::string path = folder / "ten.bin";
    WriteWholeFile(path, "0123456789");
    {
        FileStream untouched = OpenWriteStream(path);
        ASSERT_TRUE(untouched.IsOpen());
    }
    EXPECT_EQ(ReadWholeFile(path), "0123456789");
    {
        FileStream stream = OpenWriteStream(path);
        EXPECT_EQ(stream.Write("abcd", 4), 4u);
    }
    EXPECT_EQ(ReadWholeFile(path), "abcd");
    {
        FileStream stream = OpenWriteStream(path);
        EXPECT_EQ(stream.Seek(2, SeekOrigin::FromBeginning), 2);
        EXPECT_EQ(stream.Write(nullptr, 0), 0u);
    }
    EXPECT_EQ(ReadWholeFile(path), "ab");
}

TEST(FileStreams, ReadStreamReadsAndSeeksButNeverWrites) {
    TempFolder folder;
    const std::string path = folder / "data.bin";
    WriteWholeFile(path, "0123456789");
    FileStream stream = OpenReadStream(path);
    ASSERT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.Size(), 10);
    EXPECT_EQ(stream.Write("x", 1), 0u);
    EXPECT_EQ(stream.Seek(-3, SeekOrigin::FromEnd), 7);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 8), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(stream.Seek(-5, SeekOrigin::FromCurrent), 5);
    EXPECT_EQ(stream.Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], '5');
}

TEST(FileStreams, FailedOpenGivesAStreamThatMovesNothing) {
    TempFolder folder;
    FileStream missing = OpenReadStream(folder / "missing.bin");
    EXPECT_FALSE(missing.IsOpen());
    char buffer[4];
    EXPECT_EQ(missing.Read(buffer, 4), 0u);
    EXPECT_EQ(missing.Size(), -1);
    EXPECT_EQ(missing.Seek(0, SeekOrigin::FromBeginning), -1);
    missing.Close();

    FileStream nowhere = OpenWriteStream(folder / "no folder\\x.bin");
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_EQ(nowhere.Write("x", 1), 0u);
    EXPECT_FALSE(nowhere.Flush());
}

TEST(FileStreams, SharingLetsReadersInAndKeepsWritersOut) {
    TempFolder folder;
    const std::string path = folder / "shared.bin";
    WriteWholeFile(path, "abc");
    {
        FileStream reader = OpenReadStream(path);
        ASSERT_TRUE(reader.IsOpen());
        EXPECT_TRUE(OpenReadStream(path).IsOpen());
        EXPECT_FALSE(OpenWriteStream(path).IsOpen());
    }
    {
        FileStream writer = OpenWriteStream(path);
        ASSERT_TRUE(writer.IsOpen());
        EXPECT_FALSE(OpenReadStream(path).IsOpen());
        EXPECT_FALSE(OpenWriteStream(path).IsOpen());
    }
    FileStream moved = OpenReadStream(path);
    FileStream owner = std::move(moved);
    EXPECT_FALSE(moved.IsOpen());
    EXPECT_TRUE(owner.IsOpen());
    owner = OpenReadStream(folder / "missing.bin");
    // The move-assignment closed the first handle, so a writer may open the file again.
    EXPECT_TRUE(OpenWriteStream(path).IsOpen());
}

TEST(CopyBetweenStreams, MovesExactlyTheCountWhateverTheBufferSize) {
    TempFolder folder;
    const std::string source = folder / "source.bin";
    const std::string bytes = PatternBytes(1000, 3);
    WriteWholeFile(source, bytes);
    for (uint32_t bufferSize : {1u, 2u, 7u, 64u, 999u, 1000u, 1001u, 0u}) {
        CopyBufferScope shrunk(bufferSize);
        for (int64_t count : {1, 6, 7, 8, 13, 14, 15, 500, 999, 1000}) {
            SCOPED_TRACE(testing::Message() << "buffer " << bufferSize << " count " << count);
            FileStream in = OpenReadStream(source);
            ASSERT_EQ(in.Seek(0, SeekOrigin::FromBeginning), 0);
            const std::string target = folder / "copy.bin";
            {
                FileStream out = OpenWriteStream(target);
                CopyResult result = CopyStreamBytes(out, in, count);
                EXPECT_EQ(result.written, count);
                EXPECT_FALSE(result.sourceShort);
            }
            EXPECT_EQ(ReadWholeFile(target), bytes.substr(0, count));
            // The next copy goes on where this one stopped.
            FileStream rest = OpenWriteStream(folder / "rest.bin");
            EXPECT_EQ(CopyBetweenStreams(rest, in, 1000), 1000 - count);
        }
    }
}

TEST(CopyBetweenStreams, StopsAtTheEndOfTheSourceAndSaysSo) {
    TempFolder folder;
    WriteWholeFile(folder / "short.bin", "12345");
    CopyBufferScope shrunk(2);
    FileStream in = OpenReadStream(folder / "short.bin");
    FileStream out = OpenWriteStream(folder / "out.bin");
    CopyResult result = CopyStreamBytes(out, in, 9);
    EXPECT_EQ(result.written, 5);
    EXPECT_TRUE(result.sourceShort);
    out.Close();
    EXPECT_EQ(ReadWholeFile(folder / "out.bin"), "12345");

    FileStream missing = OpenReadStream(folder / "missing.bin");
    FileStream target = OpenWriteStream(folder / "target.bin");
    EXPECT_EQ(CopyBetweenStreams(target, missing, missing.Size()), 0);
}

TEST(CopyBetweenStreams, ZeroCountStillCutsTheDestination) {
    TempFolder folder;
    WriteWholeFile(folder / "in.bin", "abc");
    WriteWholeFile(folder / "out.bin", "0123456789");
    FileStream in = OpenReadStream(folder / "in.bin");
    {
        FileStream out = OpenWriteStream(folder / "out.bin");
        out.Seek(4, SeekOrigin::FromBeginning);
        EXPECT_EQ(CopyBetweenStreams(out, in, 0), 0);
    }
    EXPECT_EQ(ReadWholeFile(folder / "out.bin"), "0123");
}

TEST(CopyBetweenStreams, StopsAtAFailedWriteOnAFullDisk) {
    const std::string source = PatternBytes(5000, 9);
    TempFolder folder;
    WriteWholeFile(folder / "in.bin", source);
    CopyBufferScope shrunk(1024);
    FileStream in = OpenReadStream(folder / "in.bin");
    FileStream full = OpenWriteStream(UnixPathOnZ("/dev/full"));
    ASSERT_TRUE(full.IsOpen());
    CopyResult result = CopyStreamBytes(full, in, 5000);
    EXPECT_EQ(result.written, 0);
    EXPECT_FALSE(result.sourceShort);
    EXPECT_FALSE(full.Flush());
}

TEST(Folders, ExistenceAndOneLevelCreation) {
    TempFolder folder;
    WriteWholeFile(folder / "file.txt", "x");
    EXPECT_FALSE(IsExistingFile(""));
    EXPECT_FALSE(IsExistingFolder(""));
    EXPECT_FALSE(MakeFolder(""));
    EXPECT_TRUE(IsExistingFile(folder / "file.txt"));
    EXPECT_FALSE(IsExistingFolder(folder / "file.txt"));
    EXPECT_FALSE(IsExistingFile(folder.Path()));
    EXPECT_TRUE(IsExistingFolder(folder.Path()));
    EXPECT_TRUE(IsExistingFolder(folder.Path().substr(0, folder.Path().size() - 1)));
    EXPECT_FALSE(IsExistingFile(folder / "missing.txt"));

    EXPECT_TRUE(MakeFolder(folder / "one\\"));
    EXPECT_TRUE(IsExistingFolder(folder / "one"));
    EXPECT_FALSE(MakeFolder(folder / "one"));
    EXPECT_FALSE(MakeFolder(folder / "two\\three\\"));
    EXPECT_FALSE(IsExistingFolder(folder / "two"));
    EXPECT_FALSE(MakeFolder(folder / "file.txt"));
}

TEST(FileSizes, LookupByNameWithWildcardsAndBeyondFourGigabytes) {
    TempFolder folder;
    EXPECT_EQ(LookupFileSize(folder / "missing.bin"), 0u);
    WriteWholeFile(folder / "seven.bin", "1234567");
    EXPECT_EQ(LookupFileSize(folder / "seven.bin"), 7u);
    EXPECT_EQ(LookupFileSize(folder / "sev*.bin"), 7u);
    WriteWholeFile(folder / "empty.bin", "");
    EXPECT_EQ(LookupFileSize(folder / "empty.bin"), 0u);

    // A sparse file costs no disk space but reports its whole size.
    const uint64_t big = (5ull << 30) + 3;
    HANDLE h = CreateFileA((folder / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(big);
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(LookupFileSize(folder / "big.bin"), big);
    FileStream stream = OpenReadStream(folder / "big.bin");
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(big));
    EXPECT_EQ(stream.Seek(-1, SeekOrigin::FromEnd), static_cast<int64_t>(big - 1));
}

TEST(FreeSpace, MeasuresAnExistingDiskAndNothingForAMissingOne) {
    std::optional<uint64_t> free = FreeDiskBytes("C:\\");
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    // Drive letters past Z do not exist anywhere.
    EXPECT_FALSE(FreeDiskBytes("[:\\").has_value());
}

TEST(Priority, OnlyHighAndRealtimeMakeTheThreadTimeCritical) {
    struct Case {
        PriorityLevel level;
        DWORD priorityClass;
        int threadPriority;
    };
    // Realtime may be refused to the account; High is where the class is sure to change.
    const Case cases[] = {
        {PriorityLevel::High, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_TIME_CRITICAL},
        {PriorityLevel::Idle, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
        {PriorityLevel::Realtime, 0, THREAD_PRIORITY_TIME_CRITICAL},
        {PriorityLevel::Normal, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.level));
        SetProcessPriority(c.level);
        if (c.priorityClass != 0) {
            EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), c.priorityClass);
        }
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), c.threadPriority);
    }
    SetProcessPriority(PriorityLevel::Normal);
}

TEST(FileSystems, OnlyTheFatKindsCapAFile) {
    for (const char* fat : {"FAT", "FAT12", "FAT16", "FAT32", "fat32"})
        EXPECT_EQ(LargestFileOn(fat), std::optional<uint64_t>(4294967295ull)) << fat;
    for (const char* other : {"NTFS", "exFAT", "", "FAT64", "CDFS"})
        EXPECT_EQ(LargestFileOn(other), std::nullopt) << other;
    EXPECT_FALSE(FileSystemName("C:\\").empty());
    EXPECT_TRUE(FileSystemName("[:\\").empty());
}

TEST(CopyPacing, ACopyYieldsByTheClockAndStopsWhenAsked) {
    TempFolder folder;
    const std::string bytes = PatternBytes(1000, 3);
    WriteWholeFile(folder / "src", bytes);
    CopyBufferScope shrunk(100);
    std::vector<int64_t> seen;
    {
        // A fast copy never waits the 100 ms between two calls.
        FileStream source = OpenReadStream(folder / "src"), target = OpenWriteStream(folder / "a");
        CopyStreamBytes(target, source, 1000, [&](int64_t w) { return seen.push_back(w), true; });
        EXPECT_EQ(seen, std::vector<int64_t>{});
    }
    const uint32_t saved = CopyPaceInterval();
    SetCopyPaceInterval(0);
    {
        FileStream source = OpenReadStream(folder / "src"), target = OpenWriteStream(folder / "b");
        const CopyResult all = CopyStreamBytes(target, source, 1000,
                                               [&](int64_t w) { return seen.push_back(w), true; });
        EXPECT_EQ(all.written, 1000);
        EXPECT_EQ(seen, (std::vector<int64_t>{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}));
    }
    {
        FileStream source = OpenReadStream(folder / "src"), target = OpenWriteStream(folder / "c");
        const CopyResult stopped =
            CopyStreamBytes(target, source, 1000, [](int64_t w) { return w < 300; });
        EXPECT_TRUE(stopped.stopped);
        EXPECT_EQ(stopped.written, 300);
    }
    SetCopyPaceInterval(saved);
    EXPECT_EQ(ReadWholeFile(folder / "c"), bytes.substr(0, 300));
}

TEST(CopyBetweenStreams, AnEmptyFirstReadStillCutsTheDestination) {
    TempFolder folder;
    WriteWholeFile(folder / "empty", "");
    WriteWholeFile(folder / "old", "0123456789");
    FileStream source = OpenReadStream(folder / "empty"), target = OpenWriteStream(folder / "old");
    const CopyResult copied = CopyStreamBytes(target, source, 5);
    target.Close();
    EXPECT_TRUE(copied.sourceShort);
    EXPECT_EQ(ReadWholeFile(folder / "old"), "");
}

TEST(CopyBetweenStreams, AFullDiskIsToldApartFromOtherFailures) {
    TempFolder folder;
    FullDeviceLink link(folder.Path(), "full");
    ASSERT_TRUE(link.Made());
    WriteWholeFile(folder / "src", PatternBytes(5000, 1));
    FileStream source = OpenReadStream(folder / "src"), full = OpenWriteStream(folder / "full");
    const CopyResult copied = CopyStreamBytes(full, source, 5000);
    EXPECT_EQ(copied.written, 0);
    EXPECT_TRUE(copied.noRoom);
    FileStream again = OpenReadStream(folder / "src"), reader = OpenReadStream(folder / "src");
    EXPECT_FALSE(CopyStreamBytes(reader, again, 10).noRoom);
}
