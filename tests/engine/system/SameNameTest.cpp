// One rule for "the same name": the case of Latin and Cyrillic letters set aside, as Windows'
// file systems do, and nothing else.
#include <gtest/gtest.h>

#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"

TEST(SameName, LatinAndCyrillicLettersOfEitherCase) {
    EXPECT_TRUE(SameName("film.avi_1.brf", "FILM.AVI_1.BRF"));
    EXPECT_TRUE(SameName("Отчёт.dat_1.brf", "ОТЧЁТ.DAT_1.brf"));
    EXPECT_TRUE(SameName("абвгдеёжзийклмнопрстуфхцчшщъыьэюя", "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
    // The Cyrillic letters of other languages that the code page holds.
    EXPECT_TRUE(SameName("ђѓљњќћџўјґєїіѕ", "ЂЃЉЊЌЋЏЎЈҐЄЇІЅ"));
    EXPECT_TRUE(SameName("", ""));
}

TEST(SameName, OtherLettersLengthsAndSignsDiffer) {
    EXPECT_FALSE(SameName("ёлка", "елка"));
    EXPECT_FALSE(SameName("film.avi", "film.avi "));
    EXPECT_FALSE(SameName("film.avi", "film.av"));
    // A Latin letter and the Cyrillic one drawn alike are two letters.
    EXPECT_FALSE(SameName("a", "а"));
    EXPECT_FALSE(SameName("C", "С"));
    // Signs 32 places apart, as the capitals and small letters are, stay different.
    EXPECT_FALSE(SameName("@", "`"));
    EXPECT_FALSE(SameName("[", "{"));
    EXPECT_FALSE(SameName("\xB5", "\x95")); // the micro sign has no capital in the code page
    EXPECT_TRUE(StartsWithSameName("ОТЧЁТ.DAT_2.brf", "отчёт.dat"));
    EXPECT_FALSE(StartsWithSameName("отчёт", "отчёт.dat"));
}

TEST(SameName, PieceNumbersFollowTheRule) {
    EXPECT_EQ(PieceNumberOf("ОТЧЁТ.DAT_12.BRF", "Отчёт.dat"), 12);
    EXPECT_EQ(PieceNumberOf("отчёт.dat_3.Brf", "ОТЧЁТ.DAT"), 3);
    EXPECT_FALSE(PieceNumberOf("ОТЧЕТ.DAT_3.brf", "Отчёт.dat"));
}
