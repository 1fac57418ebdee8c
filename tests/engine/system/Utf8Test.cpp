// CP1251 to UTF-8 and back, and malformed text refused.
#include <gtest/gtest.h>

#include <string>

#include "engine/system/Utf8.h"

namespace {

std::string Bytes(const char8_t* text) { return reinterpret_cast<const char*>(text); }

} // namespace

TEST(Utf8, EveryCp1251ByteGoesThereAndBackAndAsciiStaysAsItIs) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Utf8FromCp1251(all);
    EXPECT_TRUE(IsUtf8(utf8));
    EXPECT_EQ(Cp1251FromUtf8(utf8), all);
    EXPECT_EQ(Utf8FromCp1251("film.avi_1.brf"), "film.avi_1.brf");
    // The source is compiled to CP1251: these literals are the program's own bytes.
    EXPECT_EQ(Utf8FromCp1251("Отчёт №1.dat"), Bytes(u8"Отчёт №1.dat"));
    EXPECT_EQ(Cp1251FromUtf8(Bytes(u8"ОТЧЁТ.DAT_1.brf")), "ОТЧЁТ.DAT_1.brf");
}

TEST(Utf8, RefusesMalformedTextAndCharactersTheCodePageLacks) {
    EXPECT_FALSE(IsUtf8("\xC0\xAF"));         // an overlong "/"
    EXPECT_FALSE(IsUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(IsUtf8("\xD0"));             // cut short
    EXPECT_FALSE(IsUtf8("\x80"));             // a follower with no lead
    EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    // A CP1251 name is no UTF-8: this is how an older check file is told apart.
    EXPECT_FALSE(IsUtf8("Отчёт.dat"));
    EXPECT_FALSE(Cp1251FromUtf8("\xD0"));
    EXPECT_FALSE(Cp1251FromUtf8("\xE6\x97\xA5\xE6\x9C\xAC.txt"));
    EXPECT_FALSE(Cp1251FromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(Cp1251FromUtf8(""), "");
}
