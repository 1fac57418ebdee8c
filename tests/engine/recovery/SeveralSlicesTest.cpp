// Sets asked to survive the loss of N pieces: the split's recovery file holds the recovery
// slices of exponents 0 .. N - 1, each the sum over the pieces of the piece's constant raised
// to the exponent times its bytes, with the constants of the pieces' places in the Main
// packet's list; a stop while they are made takes the set away.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestFiles.h"
#include "engine/digest/Md5.h"
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
