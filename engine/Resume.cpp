#include "engine/Resume.h"

#include <windows.h>

#include <algorithm>

#include "engine/CheckFile.h"
#include "engine/Utf8.h"

namespace {
// A check file larger than this is no split's: two million pieces' lines at most.
constexpr int64_t kLargestCheckFile = 256 * 1024 * 1024;

std::string ReadCheckFile(const std::string& path) {
    FileStream stream = OpenReadStream(path);
    const int64_t size = stream.Size();
    if (size <= 0 || size > kLargestCheckFile) return {};
    std::string text(static_cast<size_t>(size), '\0');
    if (stream.Read(text.data(), static_cast<uint32_t>(size)) != size) return {};
    return text;
}

// A check file names files in the program's code page or in UTF-8, as other tools write them.
bool Names(const std::string& listed, const std::string& name) {
    return listed == name || listed == Utf8FromCp1251(name);
}
} // namespace

KeptPieces FindKeptPieces(const std::string& folder, const std::string& fileName,
                          const PiecePlan& plan) {
    const ParsedCheckFile parsed = ParseCheckFile(ReadCheckFile(folder + CheckFileName(fileName)));
    const std::vector<CheckEntry>& entries = parsed.entries;
    const int64_t listed = static_cast<int64_t>(entries.size());
    if (parsed.badLine != 0 || listed == 0 || listed >= plan.count) return {};
    KeptPieces kept;
    for (int64_t n = 1; n <= listed; ++n) {
        const CheckEntry& entry = entries[static_cast<size_t>(n - 1)];
        if (!Names(entry.name, PieceName(fileName, n))) return {};
        const std::string path = PiecePath(folder, fileName, n);
        if (!IsExistingFile(path) || static_cast<int64_t>(LookupFileSize(path)) != plan.SizeOf(n))
            return {};
        kept.digests.push_back(entry.digits);
    }
    return kept;
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

CopyResult ReadThroughFeed(FileStream& source, int64_t count, const CopyPace& pace,
                           CopyFeed& feed) {
    CopyResult result;
    // Paced by the clock, as a copy is.
    DWORD paced = GetTickCount();
    while (result.written < count) {
        char* buffer = feed.TakeBuffer();
        const uint32_t want =
            static_cast<uint32_t>(std::min<int64_t>(count - result.written, feed.BufferSize()));
        const uint32_t got = source.Read(buffer, want);
        feed.Pass(buffer, got);
        result.written += got;
        if (got < want) {
            result.sourceShort = true;
            return result;
        }
        if (pace && static_cast<DWORD>(GetTickCount() - paced) >= CopyPaceInterval()) {
            if (!pace(result.written)) {
                result.stopped = true;
                return result;
            }
            paced = GetTickCount();
        }
    }
    return result;
}
