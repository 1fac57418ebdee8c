// The join from disks' questions and completion lines, and a volume's digits read back from its
// name.
#include "engine/join/DiskJoinTexts.h"

#include <vector>

#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"

namespace {

// "1 том", "2 тома", "5 томов", "21 том".
std::string VolumesText(int64_t count) {
    const int64_t tens = count % 100;
    const int64_t ones = count % 10;
    const char* word = "томов";
    if (ones == 1 && tens != 11)
        word = "том";
    else if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        word = "тома";
    return DecimalText(count) + " " + word;
}

std::string WithFault(const std::string& fault, const std::string& question) {
    return fault.empty() ? question : fault + "\r\n" + question;
}

} // namespace

std::string FromDisksText(int64_t disks) {
    const bool one = disks % 10 == 1 && disks % 100 != 11;
    return "Набор частей собран с " + DecimalText(disks) + (one ? " диска." : " дисков.");
}

std::string PieceDiskQuestion(const std::string& fault, const std::string& letter,
                              const std::string& pieceName, bool mayBePastTheEnd) {
    const std::string which =
        mayBePastTheEnd ? " или, если такой части в наборе нет (потерян последний диск), диск "
                          "с томами восстановления"
                        : "";
    return WithFault(fault, "Вставте диск " + letter + " с частью " + pieceName + which +
                                ".\r\n«Да» — диск вставлен, «Нет» — этого диска нет (часть "
                                "будет восстановлена по томам восстановления, если их хватит), "
                                "«Отмена» — прервать соединение.");
}

std::string VolumeDiskQuestion(const std::string& fault, const std::string& letter,
                               const std::string& baseName, const std::string& volumeName,
                               int64_t needed) {
    const std::string what = volumeName.empty() ? "с томами восстановления набора " + baseName
                                                : "с файлом восстановления " + volumeName;
    return WithFault(fault, "Для восстановления потерянных частей нужно ещё " +
                                VolumesText(needed) + " восстановления.\r\nВставте диск " + letter +
                                " " + what +
                                ".\r\n«Да» — диск вставлен, «Нет» — этого диска нет (будет "
                                "попрошен другой диск с томами восстановления), «Отмена» — "
                                "прервать соединение.");
}

std::string LostOnDiskText(const std::string& piecePath) {
    return "Часть " + piecePath +
           " повреждена или не читается полностью. Соединение продолжится без неё: часть будет "
           "восстановлена по томам восстановления, если их хватит.";
}

std::string LostPiecesText(const std::string& folder, const std::string& baseName,
                           const std::vector<int64_t>& lost) {
    std::string text;
    for (const int64_t n : lost)
        text += (text.empty() ? "" : "\r\n") + std::string("Часть ") +
                PiecePath(folder, baseName, n) + " не найдена на дисках.";
    return text;
}

int VolumeNameDigits(const std::string& name, const std::string& baseName) {
    const std::string head = baseName + ".vol";
    const std::string tail = "+1.par2";
    if (name.size() <= head.size() + tail.size() || !StartsWithSameName(name, head) ||
        !SameName(name.substr(name.size() - tail.size()), tail))
        return 0;
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    for (const char c : digits)
        if (c < '0' || c > '9') return 0;
    return static_cast<int>(digits.size());
}
