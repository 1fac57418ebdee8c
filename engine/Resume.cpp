#include "engine/Resume.h"

#include "engine/CheckFile.h"
#include "engine/FileServices.h"
#include "engine/SetCheck.h"
#include "engine/Sha256.h"

namespace {

constexpr char kStateHeading[] = "Varnok: whole-file digest state";
// Far above any state's text: a larger file is not one.
constexpr uint32_t kLargestStateFile = 4096;

// The lines of a state file up to its own check: the heading, the pieces' count and the
// digest of their digits, and the state.
std::string StateBody(const std::vector<std::string>& digests, const std::string& state) {
    std::string listed;
    for (const std::string& digits : digests) listed += digits + "\n";
    const std::optional<std::string> ofListed = Sha256Of(listed.data(), listed.size());
    if (!ofListed) return {};
    return std::string(kStateHeading) + "\r\npieces " + DecimalText(digests.size()) +
           "\r\nlisted " + *ofListed + "\r\nstate " + state + "\r\n";
}

} // namespace

std::string WholeStatePath(const std::string& folder, const std::string& fileName) {
    return folder + CheckFileName(fileName) + ".~state";
}

bool SaveWholeState(const std::string& path, const std::vector<std::string>& digests,
                    const std::string& state) {
    const std::string body = StateBody(digests, state);
    const std::optional<std::string> check = Sha256Of(body.data(), body.size());
    if (body.empty() || !check) return false;
    const std::string text = body + "check " + *check + "\r\n";
    FileStream file = OpenWriteStream(path);
    return file.Write(text.data(), static_cast<uint32_t>(text.size())) == text.size();
}

std::optional<std::string> LoadWholeState(const std::string& path,
                                          const std::vector<std::string>& digests) {
    FileStream file = OpenReadStream(path);
    const int64_t size = file.Size();
    if (size <= 0 || size > kLargestStateFile) return std::nullopt;
    std::string text(static_cast<size_t>(size), '\0');
    if (file.Read(text.data(), static_cast<uint32_t>(size)) != size) return std::nullopt;
    const size_t stateAt = text.find("\r\nstate ");
    const size_t checkAt = text.find("\r\ncheck ");
    if (stateAt == std::string::npos || checkAt == std::string::npos || checkAt < stateAt)
        return std::nullopt;
    const std::string state = text.substr(stateAt + 8, checkAt - stateAt - 8);
    // Saved after exactly these pieces, whole, and in this program's own form.
    const std::string body = StateBody(digests, state);
    const std::optional<std::string> check = Sha256Of(body.data(), body.size());
    if (body.empty() || !check || text != body + "check " + *check + "\r\n") return std::nullopt;
    if (!Sha256().ResumeFrom(state)) return std::nullopt;
    return state;
}

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
    return {digests, LoadWholeState(WholeStatePath(folder, fileName), digests)};
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
