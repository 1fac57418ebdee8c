// Splits of a source larger than 4 GiB: piece sizes, the bytes at the 2 GiB and 4 GiB marks
// and a byte-for-byte comparison of the file that a join restores. The source is sparse; the pieces
// are not, so every set is removed before the next one is made.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "engine/system/FileServices.h"
#include "engine/join/Join.h"
#include "engine/split/Split.h"

namespace {

constexpr int64_t kGiB = 1073741824;
constexpr int64_t kSourceSize = 4 * kGiB + 1000003;
constexpr size_t kMarkLength = 65536;

// Non-zero runs at the start, across the 2 GiB and 4 GiB marks and at the very end.
struct Mark {
    int64_t offset;
    std::string bytes;
};

std::vector<Mark> Marks() {
    return {{0, PatternBytes(kMarkLength, 1)},
            {2 * kGiB - kMarkLength / 2, PatternBytes(kMarkLength, 2)},
            {4 * kGiB - kMarkLength / 2, PatternBytes(kMarkLength, 3)},
            {kSourceSize - static_cast<int64_t>(kMarkLength), PatternBytes(kMarkLength, 4)}};
}

struct Handle {
    HANDLE value;
    explicit Handle(HANDLE h) : value(h) {}
    ~Handle() {
        if (value != INVALID_HANDLE_VALUE) CloseHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

bool WriteAt(HANDLE file, int64_t offset, const std::string& bytes) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD done = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

// Sets the size first, so that the file system keeps the rest of the file as holes.
::testing::AssertionResult MakeSparseSource(const std::string& path) {
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.value == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << "cannot create " << path;
    LARGE_INTEGER size;
    size.QuadPart = kSourceSize;
    if (!SetFilePointerEx(file.value, size, nullptr, FILE_BEGIN) || !SetEndOfFile(file.value))
        return ::testing::AssertionFailure() << "cannot set the size of " << path;
    for (const Mark& mark : Marks())
        if (!WriteAt(file.value, mark.offset, mark.bytes))
            return ::testing::AssertionFailure()
                   << "cannot write at " << mark.offset << " in " << path;
    return ::testing::AssertionSuccess();
}

// The disk must hold the pieces and one restored copy of the source.
::testing::AssertionResult EnoughFreeSpace(const std::string& folder, int64_t needed) {
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &totalFree))
        return ::testing::AssertionFailure() << "cannot measure the free space of " << folder;
    if (available.QuadPart < static_cast<uint64_t>(needed))
        return ::testing::AssertionFailure()
               << "the large file tests need " << needed / (1 << 20) << " MiB free on the disk of "
               << folder << ", it has " << available.QuadPart / (1 << 20) << " MiB";
    return ::testing::AssertionSuccess();
}

int64_t SizeOfFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Reads a run of files one after the other, as if they were one file.
class ChainReader {
  public:
    explicit ChainReader(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    // Fills up to count bytes; fewer only at the end of the last file.
    size_t Read(char* buffer, size_t count) {
        size_t filled = 0;
        while (filled < count) {
            if (!current_.IsOpen()) {
                if (next_ == paths_.size()) break;
                current_ = OpenReadStream(paths_[next_++]);
                if (!current_.IsOpen()) break;
            }
            uint32_t got = current_.Read(buffer + filled, static_cast<uint32_t>(count - filled));
            if (got == 0) current_.Close();
            filled += got;
        }
        return filled;
    }

  private:
    std::vector<std::string> paths_;
    size_t next_ = 0;
    FileStream current_;
};

// Compares two byte streams through bounded buffers; tells the first offset that differs.
::testing::AssertionResult SameBytes(ChainReader& expected, ChainReader& actual) {
    constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<char[]> a(new char[kBlock]), b(new char[kBlock]);
    int64_t offset = 0;
    for (;;) {
        size_t got = expected.Read(a.get(), kBlock);
        size_t other = actual.Read(b.get(), kBlock);
        size_t same = std::min(got, other);
        for (size_t i = 0; i < same; ++i)
            if (a[i] != b[i])
                return ::testing::AssertionFailure() << "the bytes differ at offset " << offset + i;
        if (got != other)
            return ::testing::AssertionFailure() << "one ends at offset " << offset + same;
        if (got == 0) return ::testing::AssertionSuccess();
        offset += got;
    }
}

// The bytes of the piece set at a source offset, for a set of pieces of the given sizes.
std::string BytesAt(const std::vector<std::string>& pieces, const std::vector<int64_t>& sizes,
                    int64_t offset, size_t length) {
    std::string bytes;
    int64_t start = 0;
    for (size_t i = 0; i < pieces.size() && bytes.size() < length; ++i) {
        int64_t end = start + sizes[i];
        if (offset + static_cast<int64_t>(bytes.size()) < end) {
            FileStream piece = OpenReadStream(pieces[i]);
            piece.Seek(offset + static_cast<int64_t>(bytes.size()) - start,
                       SeekOrigin::FromBeginning);
            std::string chunk(std::min<int64_t>(length - bytes.size(), end - offset - bytes.size()),
                              '\0');
            chunk.resize(piece.Read(chunk.data(), static_cast<uint32_t>(chunk.size())));
            bytes += chunk;
            if (chunk.empty()) break;
        }
        start = end;
    }
    return bytes;
}

// Checks that the set has the expected piece sizes and carries every mark at its offset.
void ExpectPieces(const std::vector<std::string>& pieces, const std::vector<int64_t>& sizes) {
    for (size_t i = 0; i < pieces.size(); ++i)
        EXPECT_EQ(SizeOfFile(pieces[i]), sizes[i]) << pieces[i];
    for (const Mark& mark : Marks())
        EXPECT_TRUE(BytesAt(pieces, sizes, mark.offset, kMarkLength) == mark.bytes)
            << "mark at " << mark.offset;
}

class LargeFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EnoughFreeSpace(sourceFolder_.Path(), 2 * kSourceSize + 256 * (1 << 20)));
        ASSERT_TRUE(MakeSparseSource(source_));
        ASSERT_EQ(SizeOfFile(source_), kSourceSize);
    }

    std::vector<std::string> Split(const TempFolder& into, SplitMethod method, int64_t number,
                                   int64_t multiplier = kGiB) {
        RecordingHooks hooks;
        SplitFile(SplitRequestFor(source_, into.Path(), method, number, multiplier), hooks);
        EXPECT_EQ(hooks.Of("message"),
                  std::vector<std::string>{"Разделение файла big.bin завершенно"});
        std::vector<std::string> pieces;
        for (const std::string& name : FolderEntries(into.Path()))
            if (name != "big.bin.sha256") pieces.push_back(into / name);
        // FolderEntries sorts as text; the pieces here number fewer than ten.
        return pieces;
    }

    TempFolder sourceFolder_;
    const std::string source_ = sourceFolder_ / "big.bin";
};

TEST_F(LargeFile, SplitIntoGibPiecesAndJoinBackKeepsEveryByte) {
    TempFolder pieces;
    std::vector<std::string> set = Split(pieces, SplitMethod::BySize, 1);
    ASSERT_EQ(set.size(), 5u);
    ExpectPieces(set, {kGiB, kGiB, kGiB, kGiB, 1000003});

    TempFolder joined;
    RecordingHooks hooks;
    JoinPieces(set[2], joined.Path(), hooks);
    // The split's check file is beside the set: the join checks every piece by it.
    EXPECT_EQ(
        hooks.Of("message"),
        std::vector<std::string>{"Востановление файла " + joined.Path() +
                                 "big.bin завершенно\r\nВсе части проверены по big.bin.sha256."});
    EXPECT_EQ(FolderEntries(joined.Path()), std::vector<std::string>{"big.bin"});
    ChainReader source({source_}), restored({joined / "big.bin"});
    EXPECT_TRUE(SameBytes(source, restored));
}

TEST_F(LargeFile, APieceAbove4GiBIsWrittenAndJoinedBack) {
    constexpr int64_t kPiece = 4 * kGiB + 500000;
    TempFolder pieces;
    // The size box holds at most 2^31 - 1 units; four-byte units reach past 4 GiB.
    std::vector<std::string> set = Split(pieces, SplitMethod::BySize, kPiece / 4, 4);
    ASSERT_EQ(set.size(), 2u);
    ExpectPieces(set, {kPiece, kSourceSize - kPiece});

    TempFolder joined;
    RecordingHooks hooks;
    JoinPieces(set[1], joined.Path(), hooks);
    RemoveTree(pieces.Path());
    ChainReader source({source_}), restored({joined / "big.bin"});
    EXPECT_TRUE(SameBytes(source, restored));
}

TEST_F(LargeFile, SplitIntoThreeByCountPutsTheMarksInPlace) {
    TempFolder pieces;
    std::vector<std::string> set = Split(pieces, SplitMethod::ByCount, 3);
    ASSERT_EQ(set.size(), 3u);
    const int64_t base = kSourceSize / 3;
    ExpectPieces(set, {base, base, base + kSourceSize % 3});
}

} // namespace
