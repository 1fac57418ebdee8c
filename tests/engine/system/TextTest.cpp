// Decimal numbers to and from text, and the parts of a path.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/system/Text.h"

TEST(DecimalText, WritesSignAndDigitsOnly) {
    EXPECT_EQ(DecimalText(0), "0");
    EXPECT_EQ(DecimalText(7), "7");
    EXPECT_EQ(DecimalText(-12), "-12");
    EXPECT_EQ(DecimalText(1000000), "1000000");
    EXPECT_EQ(DecimalText(std::numeric_limits<int32_t>::min()), "-2147483648");
    EXPECT_EQ(DecimalText(4294967296LL), "4294967296");
    EXPECT_EQ(DecimalText(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(ParseDecimal, ReadsSignThenDigitsUpToTheFirstOtherCharacter) {
    EXPECT_EQ(ParseDecimal("+7"), 7);
    EXPECT_EQ(ParseDecimal("-12x"), -12);
    EXPECT_EQ(ParseDecimal("1.44"), 1);
    EXPECT_EQ(ParseDecimal("2.88"), 2);
    EXPECT_EQ(ParseDecimal(" 5"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("-"), 0);
    EXPECT_EQ(ParseDecimal("+-3"), 0);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal("007"), 7);
}

TEST(ParseDecimal, WrapsAt32Bits) {
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseDecimal("4294967296"), 0);
    EXPECT_EQ(ParseDecimal("-2147483648"), std::numeric_limits<int32_t>::min());
}

TEST(ParseDecimalWide, KeepsNumbersBeyond32BitsAndSaturates) {
    EXPECT_EQ(ParseDecimalWide("2147483648"), 2147483648LL);
    EXPECT_EQ(ParseDecimalWide("4294967296"), 4294967296LL);
    EXPECT_EQ(ParseDecimalWide("-4294967297"), -4294967297LL);
    EXPECT_EQ(ParseDecimalWide("1.44"), 1);
    EXPECT_EQ(ParseDecimalWide(" 5"), 0);
    EXPECT_EQ(ParseDecimalWide("99999999999999999999999"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ParseDecimalWide("-99999999999999999999999"), -std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ParseDecimalWide("9223372036854775807"), std::numeric_limits<int64_t>::max());
}

TEST(PathParts, SplitAtTheLastBackslashOrColon) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\data\\film.avi", "C:\\data\\", "film.avi"},
        {"A:film.avi", "A:", "film.avi"},
        {"film.avi", "", "film.avi"},
        {"C:\\data\\", "C:\\data\\", ""},
        {"C:/data/film.avi", "C:", "/data/film.avi"},
        {"data/film.avi", "", "data/film.avi"},
        {"", "", ""},
        {"\\\\server\\share\\a_b_1.brf", "\\\\server\\share\\", "a_b_1.brf"},
        {"C:\\папка\\фильм.avi", "C:\\папка\\", "фильм.avi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FolderPart(c.path), c.folder);
        EXPECT_EQ(FileNamePart(c.path), c.name);
        EXPECT_EQ(FolderPart(c.path) + FileNamePart(c.path), c.path);
    }
}
