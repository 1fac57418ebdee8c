// The check file's name, its lines as a split writes them, and the reading of its text.
#include "engine/checkfile/CheckFile.h"

#include "engine/system/SameName.h"
#include "engine/system/Utf8.h"

namespace {

constexpr size_t kDigits = 64;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One line without its end; false when it is not in form.
bool ParseLine(std::string_view line, CheckEntry& entry) {
    if (line.size() < kDigits + 3) return false;
    entry.digits.clear();
    for (size_t i = 0; i < kDigits; ++i) {
        if (!IsHexDigit(line[i])) return false;
        entry.digits += SmallLetter(line[i]);
    }
    if (line[kDigits] != ' ' || (line[kDigits + 1] != ' ' && line[kDigits + 1] != '*'))
        return false;
    entry.name = std::string(line.substr(kDigits + 2));
    return true;
}

} // namespace

std::string CheckFileName(std::string_view fileName) { return std::string(fileName) + ".sha256"; }

std::string CheckLine(std::string_view digits, std::string_view name) {
    std::string line(digits);
    line += "  ";
    line += Utf8FromCp1251(name);
    line += "\r\n";
    return line;
}

ParsedCheckFile ParseCheckFile(std::string_view text) {
    ParsedCheckFile parsed;
    // Notepad and other editors begin a UTF-8 file with a byte-order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    std::vector<size_t> lineNumbers; // of each entry, for foreignLine
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // An editor may leave a blank line, at the end above all.
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        CheckEntry entry;
        if (!ParseLine(line, entry)) {
            parsed.badLine = number;
            return parsed;
        }
        parsed.entries.push_back(std::move(entry));
        lineNumbers.push_back(number);
    }
    for (const CheckEntry& entry : parsed.entries)
        if (!IsUtf8(entry.name)) return parsed;
    for (size_t i = 0; i < parsed.entries.size(); ++i) {
        std::optional<std::string> name = Cp1251FromUtf8(parsed.entries[i].name);
        if (!name) {
            parsed.foreignLine = lineNumbers[i];
            return parsed;
        }
        parsed.entries[i].name = std::move(*name);
    }
    return parsed;
}
