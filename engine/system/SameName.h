// When two names are the same file: Windows' file systems ignore the case of letters, Cyrillic
// ones included, so "Отчёт.dat_1.brf" and "ОТЧЁТ.DAT_1.brf" name one file. Names are CP1251.
// Portable: no system calls.
#pragma once
#include <string_view>

// The letter in its small form (CP1251: Latin, Cyrillic and the other Cyrillic letters of the
// code page); any other byte as it is.
char SmallLetter(char c);

// Whether the two names are the same to the file system: equal lengths, and equal letter for
// letter once the case is set aside. "ё" and "е" stay different letters.
bool SameName(std::string_view a, std::string_view b);

// Whether name begins with prefix, by the same rule.
bool StartsWithSameName(std::string_view name, std::string_view prefix);
