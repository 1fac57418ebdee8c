#include "engine/Resume.h"

#include "engine/SetCheck.h"

KeptPieces FindKeptPieces(const std::string& folder, const std::string& fileName,
                          const PiecePlan& plan) {
    // The join's own reading of the file: names in either encoding, by the file system's rule.
    const CheckLines lines = ReadCheckLines(folder, fileName);
    const std::vector<std::string>& digests = lines.check.digits;
    const int64_t listed = static_cast<int64_t>(digests.size());
    if (!lines.found || !lines.refusal.empty() || lines.whole || listed == 0 ||
        listed >= plan.count)
        return {};
    for (int64_t n = 1; n <= listed; ++n) {
        const std::string path = PiecePath(folder, fileName, n);
        if (!IsExistingFile(path) || static_cast<int64_t>(LookupFileSize(path)) != plan.SizeOf(n))
            return {};
    }
    return {digests};
}

std::string ResumeQuestion(const std::string& fileName, int64_t kept) {
    return "Найдено прерванное разделение файла " + fileName + ": части с 1 по " +
           DecimalText(kept) + " уже записаны." + "\n\r" + "Продолжить разделение с части " +
           DecimalText(kept + 1) + "?" + "\n\r" +
           "Да - продолжить, Нет - начать заново, Отмена - не разделять.";
}

std::string CheckingKeptPieceText(const std::string& fileName, int64_t pieceNumber) {
    return "Проверка записанной ранее части " + PieceName(fileName, pieceNumber);
}

std::string KeptPieceDiffersQuestion(const std::string& fileName, int64_t pieceNumber) {
    return "Часть " + PieceName(fileName, pieceNumber) + " не совпадает с файлом " + fileName +
           ": файл изменён, или части принадлежат другому файлу." + "\n\r" +
           "Начать разделение заново?";
}
