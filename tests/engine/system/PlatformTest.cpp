// The program's code page and its literals as CP1251 bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// The Russian texts are CP1251 bytes; they only show right when the ANSI code page is 1251.
TEST(Platform, AnsiCodePageIsCyrillic) { EXPECT_EQ(GetACP(), 1251u); }

TEST(Platform, LiteralsAreCp1251Bytes) {
    const std::string word = "Файл";
    ASSERT_EQ(word.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(word[0]), 0xD4u);
    EXPECT_EQ(static_cast<unsigned char>(word[3]), 0xEBu);
}
