// Names compared as Windows' file systems compare them: CP1251 letters of either case alike.
#include "engine/system/SameName.h"

#include <array>
#include <utility>

namespace {

// The capitals of CP1251 that are not in one run of the alphabet, with their small letters:
// Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Ё Є Ї І Ѕ.
constexpr std::array<std::pair<unsigned char, unsigned char>, 15> kScatteredCapitals{{
    {0x80, 0x90},
    {0x81, 0x83},
    {0x8A, 0x9A},
    {0x8C, 0x9C},
    {0x8D, 0x9D},
    {0x8E, 0x9E},
    {0x8F, 0x9F},
    {0xA1, 0xA2},
    {0xA3, 0xBC},
    {0xA5, 0xB4},
    {0xA8, 0xB8},
    {0xAA, 0xBA},
    {0xAF, 0xBF},
    {0xB2, 0xB3},
    {0xBD, 0xBE},
}};

constexpr std::array<unsigned char, 256> MakeSmallTable() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
    for (int i = 'A'; i <= 'Z'; ++i) table[i] = static_cast<unsigned char>(i - 'A' + 'a');
    // А .. Я lie 32 places before а .. я.
    for (int i = 0xC0; i <= 0xDF; ++i) table[i] = static_cast<unsigned char>(i + 0x20);
    for (const auto& [capital, small] : kScatteredCapitals) table[capital] = small;
    return table;
}

constexpr std::array<unsigned char, 256> kSmall = MakeSmallTable();

} // namespace

char SmallLetter(char c) { return static_cast<char>(kSmall[static_cast<unsigned char>(c)]); }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (SmallLetter(a[i]) != SmallLetter(b[i])) return false;
    return true;
}

bool StartsWithSameName(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && SameName(name.substr(0, prefix.size()), prefix);
}
