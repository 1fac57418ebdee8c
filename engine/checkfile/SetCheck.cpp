// Reading a set's check file for a join, holding the pieces found against it, and the texts a
// check stops with.
#include "engine/checkfile/SetCheck.h"

#include "engine/checkfile/CheckFile.h"
#include "engine/system/FileServices.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"
#include "engine/digest/Sha256.h"
#include "engine/system/Text.h"

namespace {

// Far more than the lines of any set a split makes; a larger file is no check file of ours.
constexpr int64_t kLargestCheckFile = 64ll << 20;

bool ReadText(const std::string& path, std::string& text) {
    FileStream stream = OpenReadStream(path);
    const int64_t size = stream.Size();
    if (size < 0 || size > kLargestCheckFile) return false;
    text.assign(static_cast<size_t>(size), '\0');
    return size == 0 || stream.Read(text.data(), static_cast<uint32_t>(size)) == size;
}

SetCheckReading Refuse(const std::string& text) { return {std::nullopt, text}; }

} // namespace

CheckLines ReadCheckLines(const std::string& pieceFolder, const std::string& baseName) {
    CheckLines lines;
    const std::string name = CheckFileName(baseName);
    const std::string path = pieceFolder + name;
    if (!IsExistingFile(path)) return lines;
    lines.found = true;
    std::string text;
    if (!ReadText(path, text)) {
        lines.refusal = "Невозможно прочитать файл проверки " + path + "!";
        return lines;
    }
    const ParsedCheckFile parsed = ParseCheckFile(text);
    if (parsed.badLine != 0) {
        lines.refusal = "Файл проверки " + path + " повреждён: строка " +
                        DecimalText(static_cast<int64_t>(parsed.badLine)) +
                        " не в виде «сумма SHA-256, два пробела, имя файла».";
        return lines;
    }
    if (parsed.foreignLine != 0) {
        lines.refusal = "Файл проверки " + path + " не подходит: в строке " +
                        DecimalText(static_cast<int64_t>(parsed.foreignLine)) +
                        " указан файл, имя которого нельзя записать в кодировке Windows-1251.";
        return lines;
    }
    lines.check = {name, {}, {}};
    for (const CheckEntry& entry : parsed.entries) {
        const int64_t next = static_cast<int64_t>(lines.check.digits.size()) + 1;
        if (!lines.whole && SameName(entry.name, PieceName(baseName, next))) {
            lines.check.digits.push_back(entry.digits);
        } else if (!lines.whole && SameName(entry.name, baseName)) {
            lines.whole = entry.digits;
        } else if (lines.whole && IsRecoveryFileOf(entry.name, baseName)) {
            lines.recovery.push_back(entry);
        } else {
            lines.refusal = "Файл проверки " + path +
                            " относится к другому набору частей: в нём "
                            "указан файл " +
                            entry.name + ".";
            return lines;
        }
    }
    return lines;
}

SetCheckReading ReadSetCheck(const std::string& pieceFolder, const std::string& baseName,
                             const std::set<int64_t>& numbers) {
    const CheckLines lines = ReadCheckLines(pieceFolder, baseName);
    if (!lines.found) return {};
    if (!lines.refusal.empty()) return Refuse(lines.refusal);
    const SetCheck& check = lines.check;
    const std::string& name = check.name;
    const bool whole = lines.whole.has_value();
    const int64_t listed = static_cast<int64_t>(check.digits.size());
    if (!whole) {
        const std::string last = listed == 0 ? "в нём не указано ни одной части."
                                             : "последняя указанная в нём часть: " +
                                                   PiecePath(pieceFolder, baseName, listed) + ".";
        return Refuse("Набор частей " + pieceFolder + baseName +
                      " не полон: разделение не было завершено или скопированы не все диски. "
                      "В файле проверки " +
                      name + " нет строки всего файла; " + last);
    }
    if (const auto stray = numbers.upper_bound(listed); stray != numbers.end())
        return Refuse("Часть " + PiecePath(pieceFolder, baseName, *stray) +
                      " не входит в набор, указанный в " + name +
                      ". Уберите её из папки и соедините снова.");
    if (!HasSha256()) return Refuse(NoSha256Text(name));
    SetCheck checked = check;
    checked.whole = *lines.whole;
    return {checked, {}};
}

std::string DamagedPieceText(const std::string& piecePath, const SetCheck& check) {
    return "Часть " + piecePath +
           " повреждена или изменена после разделения: её сумма SHA-256 "
           "не совпадает с указанной в " +
           check.name + ". Соединение прервано.";
}

std::string WholeFileMismatchText(const std::string& baseName, const SetCheck& check) {
    return "Соединённый файл " + baseName + " не совпадает со своей строкой в " + check.name +
           ": файл не записан.";
}

std::string DigestFailedText(const std::string& path) {
    return "Невозможно вычислить сумму SHA-256 файла " + path + "!";
}

std::string NoSha256Text(const std::string& checkFileName) {
    return "Невозможно проверить части по " + checkFileName + ": в системе нет вычисления SHA-256.";
}

std::string CheckedLine(const SetCheck& check) {
    return "Все части проверены по " + check.name + ".";
}
