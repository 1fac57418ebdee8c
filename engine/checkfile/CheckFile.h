// The check file beside a piece set, "<file name>.sha256", in the form sha256sum reads and
// writes: per line the SHA-256 in 64 lowercase hex digits, two blanks and a file name. Names
// are UTF-8, as the file systems that other tools check on name files. Portable: no system
// calls.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// "<file name>.sha256".
std::string CheckFileName(std::string_view fileName);

// One line as a split writes it: digits, two blanks, the name (CP1251, written as UTF-8), CR LF.
std::string CheckLine(std::string_view digits, std::string_view name);

struct CheckEntry {
    std::string digits; // lowercase
    std::string name;   // CP1251
};

// The entries of a check file's text, in order. Lines end in LF or CR LF; a name may follow
// one blank and "*" (sha256sum's binary mark) instead of two blanks. badLine is the number
// (from 1) of the first line in no such form, 0 when every line is in form; a byte-order mark
// at the start and blank lines are passed over, as editors leave them. A file whose names
// are all UTF-8 is read as UTF-8; one whose names are not was written in CP1251 by older
// versions and is read as it stands. foreignLine is the number of the first UTF-8 name that
// CP1251 cannot hold, 0 when there is none.
struct ParsedCheckFile {
    std::vector<CheckEntry> entries;
    size_t badLine = 0;
    size_t foreignLine = 0;
};
ParsedCheckFile ParseCheckFile(std::string_view text);
