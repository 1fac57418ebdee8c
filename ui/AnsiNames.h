// File names between the system's wide form and the program's ANSI (code page) texts.
#pragma once
#include <string>

// The wide form of an ANSI text.
std::wstring WideFromAnsi(const std::string& text);
// The ANSI form of a wide name, or an empty text when the code page cannot hold every one of
// its characters: a look-alike ("Cafe" for "Café") would name another file, or none.
std::string AnsiNameOrEmpty(const std::wstring& name);
