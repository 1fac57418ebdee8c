// The program's CP1251 text and UTF-8, as other tools name files in manifests and recovery
// files. Portable: no system calls.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// The same characters in UTF-8; ASCII stays as it is. Every CP1251 byte has a character
// (0x98, unassigned, stands for U+0098 as Windows maps it).
std::string Utf8FromCp1251(std::string_view text);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text);

// The same characters in CP1251; nothing when text is not well-formed UTF-8 or holds a
// character that CP1251 lacks.
std::optional<std::string> Cp1251FromUtf8(std::string_view text);
