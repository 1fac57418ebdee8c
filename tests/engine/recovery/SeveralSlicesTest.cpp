// Sets asked to survive the loss of N pieces: the split's recovery file holds the recovery
// slices of exponents 0 .. N - 1, each the sum over the pieces of the piece's constant raised
// to the exponent times its bytes, with the constants of the pieces' places in the Main
// packet's list; a stop while they are made takes the set away.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestFiles.h"
#include "engine/digest/Md5.h"
#include "engine/join/Join.h"
#include "engine/pieces/PieceSet.h"
#include "engine/recovery/Galois16.h"
#include "engine/split/Split.h"

namespace {

using Texts = std::vector<std::string>;

uint64_t Le(const std::string& bytes, size_t at, int size) {
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The File ID of a piece, as the format defines it.
Md5Digest FileIdOf(const std::string& name, const std::string& bytes) {
    const Md5Digest first = Md5Of(bytes.data(), std::min<size_t>(bytes.size(), 16384));
    std::string input(first.begin(), first.end());
    const uint64_t length = bytes.size();
    for (int i = 0; i < 8; ++i) input += static_cast<char>((length >> (8 * i)) & 0xFF);
    input += name;
    return Md5Of(input.data(), input.size());
}

// Recovery slice e of the pieces, word by word, by the field's plain multiplication.
std::string ReferenceSlice(const std::vector<std::string>& pieces,
                           const std::vector<size_t>& places, uint32_t e, size_t sliceSize) {
    std::vector<uint16_t> words(sliceSize / 2, 0);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const uint16_t factor = Galois16::Power(Galois16::InputConstant(places[i]), e);
        std::string padded = pieces[i];
        padded.resize(sliceSize, '\0');
        for (size_t w = 0; w < words.size(); ++w)
            words[w] ^= Galois16::Multiply(factor, static_cast<uint16_t>(Le(padded, 2 * w, 2)));
    }
    std::string slice;
    for (const uint16_t word : words) {
        slice += static_cast<char>(word & 0xFF);
        slice += static_cast<char>(word >> 8);
    }
    return slice;
}

// Splits bytes as film.avi into count pieces with a recovery file of slices slices asked for;
// the split's messages.
Texts SplitInto(const TempFolder& folder, const std::string& bytes, int64_t count, int64_t slices) {
    WriteWholeFile(folder / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(folder / "film.avi", folder / "set\\", SplitMethod::ByCount, count);
    request.recovery = true;
    request.recoverySlices = slices;
    RecordingHooks hooks;
    SplitFile(request, hooks);
    return hooks.Of("message");
}

} // namespace

TEST(SeveralSlices, TheFileHoldsEverySliceOfThePiecesInTheMainPacketsOrder) {
    // 5 pieces of 2001 bytes and one of 2003: odd lengths, the slice padded to 2004.
    const std::string bytes = PatternBytes(10007, 61);
    for (const auto& [asked, made, buffer] :
         {std::tuple{3, 3, 0u}, std::tuple{3, 3, 1000u}, std::tuple{9, 5, 0u}}) {
        SCOPED_TRACE(std::to_string(asked) + " asked, buffer " + std::to_string(buffer));
        TempFolder folder;
        CopyBufferScope scope(buffer);
        ASSERT_EQ(SplitInto(folder, bytes, 5, asked),
                  Texts{"Разделение файла film.avi завершенно"});
        std::vector<std::string> pieces;
        std::vector<Md5Digest> ids;
        for (int64_t n = 1; n <= 5; ++n) {
            pieces.push_back(ReadWholeFile(PiecePath(folder / "set\\", "film.avi", n)));
            ids.push_back(FileIdOf(PieceName("film.avi", n), pieces.back()));
        }
        const std::string file = ReadWholeFile(folder / "set\\film.avi.par2");
        const size_t slice = 2004, packet = 64 + 4 + slice;
        ASSERT_GT(file.size(), made * packet);
        // The Main packet follows the recovery packets: its File IDs give the pieces' places.
        const std::string main = file.substr(made * packet);
        ASSERT_EQ(main.substr(48, 8), std::string("PAR 2.0\0Main", 12).substr(0, 8));
        ASSERT_EQ(Le(main, 64 + 8, 4), 5u);
        std::vector<size_t> places(5);
        for (size_t i = 0; i < 5; ++i) {
            const std::string id = main.substr(64 + 12 + 16 * i, 16);
            const auto at = std::find_if(ids.begin(), ids.end(), [&](const Md5Digest& d) {
                return std::string(d.begin(), d.end()) == id;
            });
            ASSERT_NE(at, ids.end());
            places[static_cast<size_t>(at - ids.begin())] = i;
        }
        for (uint32_t e = 0; e < static_cast<uint32_t>(made); ++e) {
            SCOPED_TRACE(e);
            const std::string at = file.substr(e * packet, packet);
            EXPECT_EQ(at.substr(48, 16), std::string("PAR 2.0\0RecvSlic", 16));
            EXPECT_EQ(Le(at, 8, 8), packet);
            EXPECT_EQ(Le(at, 64, 4), e);
            const Md5Digest digest = Md5Of(at.data() + 32, packet - 32);
            EXPECT_EQ(at.substr(16, 16), std::string(digest.begin(), digest.end()));
            EXPECT_TRUE(at.substr(68) == ReferenceSlice(pieces, places, e, slice));
        }
    }
}

TEST(SeveralSlices, AStopWhileTheSlicesAreMadeTakesTheSetAway) {
    TempFolder folder;
    const std::string bytes = PatternBytes(300001, 62);
    WriteWholeFile(folder / "film.avi", bytes);
    std::string set = folder / "set\\";
    CopyBufferScope small(4096);
    PaceEveryBuffer everyBuffer;
    // The yields of a whole split, and the first after the slices' status.
    struct Hooks : ProgressHooks {
        int slicesFrom = 0;
        void SetStatus(const std::string& text) override {
            ProgressHooks::SetStatus(text);
            if (text == "Создание файла восстановления film.avi.par2") slicesFrom = yields + 1;
        }
    };
    const auto split = [&](Hooks& hooks) {
        SplitRequest request = SplitRequestFor(folder / "film.avi", set, SplitMethod::ByCount, 4);
        request.recovery = true;
        request.recoverySlices = 2;
        SplitFile(request, hooks);
    };
    Hooks whole;
    split(whole);
    ASSERT_GT(whole.slicesFrom, 0);
    ASSERT_GT(whole.yields, whole.slicesFrom + 5) << "the slices' pass yields as it reads";
    // Its progress counts the source's bytes once more, up to the whole.
    EXPECT_EQ(whole.figures.back().total, 300001);
    for (int stopAt : {whole.slicesFrom, whole.yields - 1}) {
        SCOPED_TRACE(stopAt);
        // Into a folder of its own: the whole split's recovery file, an older set's, would stay.
        set = folder / ("stop" + std::to_string(stopAt) + "\\");
        Hooks hooks;
        hooks.stopAtYield = stopAt;
        split(hooks);
        EXPECT_TRUE(hooks.Of("message").empty());
        EXPECT_EQ(FolderEntries(set), Texts{});
    }
}

namespace {

// Records the files of a folder at each message, as the user sees the folder while the box
// is up.
struct FolderAtMessage : RecordingHooks {
    explicit FolderAtMessage(const std::string& watched) : folder(watched) {}
    void ShowMessage(const std::string& text) override {
        RecordingHooks::ShowMessage(text);
        seen = FolderEntries(folder);
    }
    std::string folder;
    Texts seen;
};

// 12003 bytes in six pieces by count (2000 bytes, the last 2003), with three recovery slices.
struct SeveralSlicesJoin : ::testing::Test {
    TempFolder folder, target;
    const std::string bytes = PatternBytes(12003, 63);
    static constexpr int64_t kCount = 6;
    Texts atMessage; // the target folder's files as the last join told its end

    void SetUp() override {
        ASSERT_EQ(SplitInto(folder, bytes, kCount, 3),
                  Texts{"Разделение файла film.avi завершенно"});
    }
    std::string Piece(int64_t n) const { return PiecePath(folder / "set\\", "film.avi", n); }
    std::string Recovery() const { return folder / "set\\film.avi.par2"; }

    Texts Join() {
        FolderAtMessage hooks(target.Path());
        JoinPieces(Piece(kCount), target.Path(), hooks);
        atMessage = hooks.seen;
        return hooks.Of("message");
    }
    std::string Done(const std::string& rebuilt) const {
        return "Востановление файла " + target.Path() +
               "film.avi завершенно\r\nВсе части проверены по film.avi.sha256.\r\n" + rebuilt;
    }
    // Each piece in turn left as a fault of a kind: missing, cut short, one byte changed,
    // one byte longer; the piece's bytes to put back.
    std::string Fault(int64_t n, int kind) {
        const std::string original = ReadWholeFile(Piece(n));
        std::string changed = original;
        changed[changed.size() / 2] ^= 0x08;
        if (kind == 0) RemoveFile(Piece(n));
        if (kind == 1) WriteWholeFile(Piece(n), original.substr(0, 999));
        if (kind == 2) WriteWholeFile(Piece(n), changed);
        if (kind == 3) WriteWholeFile(Piece(n), original + "x");
        return original;
    }
    void ExpectJoinedWith(const std::string& rebuilt) {
        EXPECT_EQ(Join(), Texts{Done(rebuilt)});
        EXPECT_EQ(atMessage, Texts{"film.avi"}) << "no rebuilt piece's file while the box is up";
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
        RemoveFile(target / "film.avi");
    }
};

} // namespace

TEST_F(SeveralSlicesJoin, EveryPairAndTripleOfFaultsIsRebuiltAndNamed) {
    for (int64_t a = 1; a <= kCount; ++a)
        for (int64_t b = a + 1; b <= kCount; ++b) {
            SCOPED_TRACE(std::to_string(a) + " and " + std::to_string(b));
            const std::string first = Fault(a, static_cast<int>(a + b) % 4);
            const std::string second = Fault(b, static_cast<int>(a * b) % 4);
            ExpectJoinedWith("Части " + std::to_string(a) + ", " + std::to_string(b) +
                             " восстановлены по film.avi.par2.");
            WriteWholeFile(Piece(a), first);
            WriteWholeFile(Piece(b), second);
        }
    const std::string one = Fault(1, 2), three = Fault(3, 0), six = Fault(6, 1);
    ExpectJoinedWith("Части 1, 3, 6 восстановлены по film.avi.par2.");
    WriteWholeFile(Piece(1), one);
    WriteWholeFile(Piece(3), three);
    WriteWholeFile(Piece(6), six);
    const std::string five = Fault(5, 3);
    ExpectJoinedWith("Часть 5 восстановлена по film.avi.par2.");
}

TEST_F(SeveralSlicesJoin, MoreFaultsThanSlicesAreAllNamedAndNothingIsWritten) {
    const std::string capacity =
        "Файл восстановления film.avi.par2 восстанавливает не более 3 частей.";
    for (int64_t n : {1, 2, 4, 5}) Fault(n, 0);
    EXPECT_EQ(Join(), Texts{"Части " + Piece(1) + ", " + Piece(2) + ", " + Piece(4) + ", " +
                            Piece(5) + " не найдены!\r\n" + capacity});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
    // Six missing, more than the join's text names: each named on a line of its own.
    const std::string third = Fault(3, 0), sixth = Fault(6, 0);
    std::string six;
    for (int64_t n = 1; n <= kCount; ++n) six += "Часть " + Piece(n) + " не найдена.\r\n";
    EXPECT_EQ(Join(), Texts{six + capacity + " Соединение прервано."});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
    WriteWholeFile(Piece(3), third);
    WriteWholeFile(Piece(6), sixth);
    // Three missing are within reach until the reading finds a fourth piece damaged.
    WriteWholeFile(Piece(5), PatternBytes(2000, 9));
    EXPECT_EQ(Join(), Texts{"Часть " + Piece(1) + " не найдена.\r\nЧасть " + Piece(2) +
                            " не найдена.\r\nЧасть " + Piece(4) + " не найдена.\r\nЧасть " +
                            Piece(5) + " повреждена или изменена после разделения.\r\n" + capacity +
                            " Соединение прервано."});
    EXPECT_TRUE(FolderEntries(target.Path()).empty());
}

TEST_F(SeveralSlicesJoin, ADamagedSliceIsPassedOverAndTheOthersStillRebuild) {
    const std::string recovery = ReadWholeFile(Recovery());
    const size_t packet = 64 + 4 + 2004;
    std::string damaged = recovery;
    damaged[packet + 68 + 500] ^= 0x01; // slice 1's bytes
    WriteWholeFile(Recovery(), damaged);
    const std::string two = Fault(2, 0), five = Fault(5, 2);
    ExpectJoinedWith("Части 2, 5 восстановлены по film.avi.par2.");
    // Two of three slices damaged: one piece is rebuilt, two are not.
    damaged[2 * packet + 68 + 7] ^= 0x01;
    WriteWholeFile(Recovery(), damaged);
    EXPECT_EQ(Join(),
              Texts{"Часть " + Piece(2) + " не найдена.\r\nЧасть " + Piece(5) +
                    " повреждена или изменена после разделения.\r\nФайл восстановления "
                    "film.avi.par2 восстанавливает только одну часть. Соединение прервано."});
    WriteWholeFile(Piece(2), two);
    ExpectJoinedWith("Часть 5 восстановлена по film.avi.par2.");
    // Every slice damaged: the recovery file is of no use, as a damaged one always was.
    damaged[68 + 9] ^= 0x01;
    WriteWholeFile(Recovery(), damaged);
    EXPECT_EQ(Join(), Texts{"Часть " + Piece(5) +
                            " повреждена или изменена после разделения: её сумма SHA-256 не "
                            "совпадает с указанной в film.avi.sha256. Соединение "
                            "прервано.\r\nФайл восстановления " +
                            Recovery() + " повреждён и не использован."});
}

// A set of more than 32 other pieces is read in groups, each leaving what remains of the
// slices in the rebuilt pieces' files for the next: two faults anywhere in 71 small pieces,
// read through a small buffer, are rebuilt.
TEST(SeveralSlicesJoinMany, TwoFaultsAmongPiecesReadInGroupsAreRebuilt) {
    TempFolder folder, target;
    const std::string bytes = PatternBytes(70 * 301 + 77, 64);
    WriteWholeFile(folder / "film.avi", bytes);
    SplitRequest request =
        SplitRequestFor(folder / "film.avi", folder / "set\\", SplitMethod::BySize, 301);
    request.recovery = true;
    request.recoverySlices = 2;
    RecordingHooks split;
    SplitFile(request, split);
    CopyBufferScope buffer(64);
    for (const auto& [a, b] : {std::pair{1, 71}, std::pair{40, 41}, std::pair{2, 33}}) {
        SCOPED_TRACE(std::to_string(a) + " and " + std::to_string(b));
        const std::string first = ReadWholeFile(PiecePath(folder / "set\\", "film.avi", a));
        const std::string second = ReadWholeFile(PiecePath(folder / "set\\", "film.avi", b));
        RemoveFile(PiecePath(folder / "set\\", "film.avi", a));
        WriteWholeFile(PiecePath(folder / "set\\", "film.avi", b), second.substr(1));
        RecordingHooks hooks;
        JoinPieces(PiecePath(folder / "set\\", "film.avi", 3), target.Path(), hooks);
        ASSERT_EQ(hooks.Of("message").size(), 1u);
        EXPECT_NE(hooks.Of("message")[0].find("Части " + std::to_string(a) + ", " +
                                              std::to_string(b) +
                                              " восстановлены по film.avi.par2."),
                  std::string::npos)
            << hooks.Of("message")[0];
        EXPECT_TRUE(ReadWholeFile(target / "film.avi") == bytes);
        EXPECT_EQ(FolderEntries(target.Path()), Texts{"film.avi"});
        RemoveFile(target / "film.avi");
        WriteWholeFile(PiecePath(folder / "set\\", "film.avi", a), first);
        WriteWholeFile(PiecePath(folder / "set\\", "film.avi", b), second);
    }
}

// A resumed split goes on after the pieces an ended one left: its recovery file of two slices
// is byte for byte an uninterrupted split's.
TEST(SeveralSlices, AResumedSplitWritesTheSameSlicesAsAnUninterruptedOne) {
    TempFolder temp;
    WriteWholeFile(temp / "film.avi", PatternBytes(6500, 65));
    const auto split = [&](const std::string& folder, ProgressHooks& hooks) {
        SplitRequest request =
            SplitRequestFor(temp / "film.avi", folder, SplitMethod::BySize, 1000);
        request.recovery = true;
        request.recoverySlices = 2;
        SplitFile(request, hooks);
    };
    ProgressHooks whole;
    split(temp / "a\\", whole);
    const std::string uninterrupted = ReadWholeFile(temp / "a\\film.avi.par2");
    ASSERT_FALSE(uninterrupted.empty());
    // Pieces 1 to 3 and the check file listing them: what an ended split leaves.
    const std::string ended = temp / "ended\\";
    MakeFolder(ended);
    WriteEndedSplit(temp / "a\\", ended, "film.avi", 3);
    ProgressHooks resumed;
    resumed.replies = {Reply::Yes};
    split(ended, resumed);
    EXPECT_EQ(resumed.Of("message").back(), "Разделение файла film.avi завершенно");
    EXPECT_TRUE(ReadWholeFile(ended + "film.avi.par2") == uninterrupted);
}
