// What the check file beside a piece set says of it, and whether the pieces found fit it.
#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/checkfile/CheckFile.h"

struct SetCheck {
    std::string name;                // the check file's name, for the completion text
    std::vector<std::string> digits; // piece n's at n - 1
    std::string whole;               // the whole file's digits, once a line gave them
};

// Either a check to join by, or the text that refuses the set; neither when there is no check
// file (the set is joined as it always was).
struct SetCheckReading {
    std::optional<SetCheck> check;
    std::string refusal;
};

// The lines of "<base name>.sha256" in the piece folder as they stand: pieces 1 .. n in order,
// then perhaps the whole file's line, and after it the lines of the set's recovery files on
// the medium ("<base name>.par2" and its volumes). found is false when there is no such file;
// refusal tells a file that cannot be read, is not in form or names another set.
struct CheckLines {
    bool found = false;
    SetCheck check;
    std::optional<std::string> whole; // the whole file's digits
    std::vector<CheckEntry> recovery; // the recovery files' lines, in order
    std::string refusal;
};
CheckLines ReadCheckLines(const std::string& pieceFolder, const std::string& baseName);

// Reads "<base name>.sha256" in the piece folder, if there is one, and holds the numbers of
// the pieces found there against it: a file that cannot be read, is not in form or names
// another set, a set whose split never finished, and a piece it does not list are refused.
// Pieces it lists but the folder lacks are left to the caller.
SetCheckReading ReadSetCheck(const std::string& pieceFolder, const std::string& baseName,
                             const std::set<int64_t>& numbers);

// The text a piece whose digits differ from its line stops the join with.
std::string DamagedPieceText(const std::string& piecePath, const SetCheck& check);
// The text a joined file whose digits differ from the whole file's line stops the join with.
std::string WholeFileMismatchText(const std::string& baseName, const SetCheck& check);
// The text an operation stops with when the system's SHA-256 of the file at path failed.
std::string DigestFailedText(const std::string& path);
// The text a set is refused with where the system has no SHA-256 to check it by its check
// file of that name.
std::string NoSha256Text(const std::string& checkFileName);
// The line a checked join adds to its completion text.
std::string CheckedLine(const SetCheck& check);
