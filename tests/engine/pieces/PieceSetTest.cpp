// Piece names and numbers, the set found back from a piece, and the recovery volumes' names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/pieces/PieceSet.h"

TEST(PieceNaming, NumberFollowsTheWholeFileName) {
    EXPECT_EQ(PieceName("film.avi", 1), "film.avi_1.brf");
    EXPECT_EQ(PieceName("film.avi", 9), "film.avi_9.brf");
    EXPECT_EQ(PieceName("film.avi", 10), "film.avi_10.brf");
    EXPECT_EQ(PieceName("my_data.tar.gz", 12), "my_data.tar.gz_12.brf");
    EXPECT_EQ(PieceName("a_b", 2), "a_b_2.brf");
    EXPECT_EQ(PieceName("README", 1), "README_1.brf");
    EXPECT_EQ(PieceName("Фильм.AVI", 3), "Фильм.AVI_3.brf");
    EXPECT_EQ(PiecePath("C:\\out\\", "film.avi", 1), "C:\\out\\film.avi_1.brf");
    EXPECT_EQ(PiecePath("A:\\", "film.avi", 2), "A:\\film.avi_2.brf");
}

// A join knows the set only by the piece chosen: the name before the last "_", whatever "_"
// the file's own name holds.
TEST(PieceNaming, TheSetIsFoundBackFromAnyOfItsPieces) {
    for (const char* name : {"film.avi", "my_data.tar.gz", "a_b", "Фильм.AVI", "_", ""}) {
        for (int64_t n : {int64_t{1}, int64_t{12}, int64_t{999999999999999999}})
            EXPECT_EQ(SetNameOf(PieceName(name, n)), name) << name << " " << n;
    }
    EXPECT_FALSE(SetNameOf("film.avi"));
    EXPECT_FALSE(SetNameOf(""));
    EXPECT_EQ(PiecePaths("C:\\out\\", "a_b", 3),
              (std::vector<std::string>{"C:\\out\\a_b_1.brf", "C:\\out\\a_b_2.brf",
                                        "C:\\out\\a_b_3.brf"}));
    EXPECT_TRUE(PiecePaths("C:\\", "f", 0).empty());
}

TEST(PieceNumbers, OnlyDecimalNumbersFromOneWithoutLeadingZeros) {
    EXPECT_EQ(PieceNumberOf("film.avi_1.brf", "film.avi"), 1);
    EXPECT_EQ(PieceNumberOf("film.avi_10.brf", "film.avi"), 10);
    EXPECT_EQ(PieceNumberOf("FILM.AVI_3.BRF", "film.avi"), 3);
    EXPECT_EQ(PieceNumberOf("a_b_2.brf", "a_b"), 2);
    EXPECT_FALSE(PieceNumberOf("film.avi_0.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_010.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_old.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_1x.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_-1.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.avi_1.brf.bak", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("film.av_1.brf", "film.avi"));
    EXPECT_FALSE(PieceNumberOf("a_b_2.brf", "a"));
    EXPECT_FALSE(PieceNumberOf("film.avi_1234567890123456789.brf", "film.avi"));
}

TEST(RecoveryNames, VolumesAreNamedAsRepairToolsNameThemAndFoundBack) {
    EXPECT_EQ(RecoveryVolumeName("film.avi", 0, 1, 1), "film.avi.vol0+1.par2");
    EXPECT_EQ(RecoveryVolumeName("film.avi", 7, 1, 2), "film.avi.vol07+1.par2");
    EXPECT_EQ(RecoveryVolumeName("film.avi", 11, 1, 2), "film.avi.vol11+1.par2");
    for (const char* name :
         {"film.avi.par2", "FILM.AVI.PAR2", "film.avi.vol0+1.par2", "film.avi.VOL07+12.Par2"})
        EXPECT_TRUE(IsRecoveryFileOf(name, "film.avi")) << name;
    for (const char* name :
         {"film.avi", "film.avi.sha256", "film.avi_1.brf", "film.av.par2", "film.avi.vol.par2",
          "film.avi.vol1.par2", "film.avi.vol+1.par2", "film.avi.vol1+.par2",
          "film.avi.vol1+x.par2", "film.avi.x.par2", "film.avi.par2.bak", "other.avi.par2"})
        EXPECT_FALSE(IsRecoveryFileOf(name, "film.avi")) << name;
}

namespace {

std::vector<int64_t> Sizes(const PiecePlan& plan) {
    std::vector<int64_t> sizes;
    for (int64_t n = 1; n <= plan.count; ++n) sizes.push_back(plan.SizeOf(n));
    return sizes;
}

} // namespace

TEST(PiecePlans, SizesOfTheCountAndSizeMethods) {
    using V = std::vector<int64_t>;
    EXPECT_EQ(Sizes(PlanByCount(10, 3)), (V{3, 3, 4}));
    EXPECT_EQ(Sizes(PlanByCount(10, 9)), (V{1, 1, 1, 1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(Sizes(PlanByCount(10, 10)), V(10, 1));
    EXPECT_EQ(Sizes(PlanBySize(10, 4)), (V{4, 4, 2}));
    EXPECT_EQ(Sizes(PlanBySize(10, 5)), (V{5, 5}));
    EXPECT_EQ(Sizes(PlanBySize(10, 10)), (V{10}));
    EXPECT_EQ(Sizes(PlanBySize(3000, 1024)), (V{1024, 1024, 952}));
    EXPECT_EQ(Sizes(PlanBySize(2048, 1024)), (V{1024, 1024}));
    EXPECT_EQ(Sizes(PlanBySize(3000000, 1048576)), (V{1048576, 1048576, 3000000 - 2 * 1048576}));
}

TEST(PiecePlans, SixtyFourBitSizesAddUpAndNoPieceIsEmpty) {
    const int64_t big = 4LL * 1024 * 1024 * 1024 + 1000003;
    const PiecePlan bySize = PlanBySize(big, 1LL << 30);
    EXPECT_EQ(bySize.count, 5);
    EXPECT_EQ(bySize.lastSize, 1000003);
    const PiecePlan byCount = PlanByCount(big, 3);
    EXPECT_EQ(byCount.regularSize * 2 + byCount.lastSize, big);
    for (int64_t s = 1; s <= 60; ++s) {
        for (int64_t p = 1; p <= s; ++p) {
            PiecePlan plan = PlanBySize(s, p);
            int64_t total = 0;
            for (int64_t size : Sizes(plan)) {
                EXPECT_GE(size, 1);
                EXPECT_LE(size, p);
                total += size;
            }
            EXPECT_EQ(total, s) << s << " by " << p;
            PiecePlan counted = PlanByCount(s, p);
            EXPECT_EQ(counted.regularSize * (p - 1) + counted.lastSize, s);
            EXPECT_GE(counted.regularSize, 1);
        }
    }
}
