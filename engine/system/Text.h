// Numbers and path names as CP1251 text. Portable: no system calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits, a leading "-" for negative values, no grouping; zero is "0".
std::string DecimalText(int64_t value);

// An optional "-" or "+", then digits up to the first other character; no digits give 0.
// Leading blanks are not skipped. Wraps modulo 2^32 as a signed 32-bit number.
int32_t ParseDecimal(std::string_view text);

// As ParseDecimal, but in 64 bits and saturating at the 64-bit limits instead of wrapping,
// so that callers can refuse numbers that do not fit in 32 bits.
int64_t ParseDecimalWide(std::string_view text);

// The characters after the last "\" or ":"; the whole path when it holds neither.
std::string FileNamePart(std::string_view path);

// The characters up to and including the last "\" or ":"; empty when it holds neither.
std::string FolderPart(std::string_view path);
