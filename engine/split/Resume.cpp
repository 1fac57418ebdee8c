// Finding an interrupted split's kept pieces, the whole file's digest state saved beside its
// check file, and the resume's texts.
#include "engine/split/Resume.h"

#include "engine/checkfile/CheckFile.h"
#include "engine/system/FileServices.h"
#include "engine/checkfile/SetCheck.h"
#include "engine/digest/Sha256.h"

namespace {

constexpr char kStateHeading[] = "Varnok: whole-file digest state";
// Far above any state's text: a larger file is not one.
constexpr uint32_t kLargestStateFile = 4096;

// The lines of a state file up to its own check: the heading, the pieces' count and the
// digest of their digits, and the state.
std::string StateBody(const StateBinding& binding, const std::string& state) {
    return std::string(kStateHeading) + "\r\npieces " + DecimalText(binding.pieces) +
           "\r\nlisted " + binding.listed + "\r\nstate " + state + "\r\n";
}

// The whole file's text: the body and its own check; empty when no digest can be had.
std::string StateText(const StateBinding& binding, const std::string& state) {
    const std::string body = StateBody(binding, state);
    const std::optional<std::string> check = Sha256Of(body.data(), body.size());
    return check ? body + "check " + *check + "\r\n" : std::string();
}

} // namespace

std::string WholeStatePath(const std::string& folder, const std::string& fileName) {
    return folder + CheckFileName(fileName) + ".~state";
}

ListedDigits::ListedDigits() : digest_(std::make_unique<Sha256>()) {}

ListedDigits::ListedDigits(const std::vector<std::string>& digests) : ListedDigits() {
    for (const std::string& digits : digests) Add(digits);
}

ListedDigits::~ListedDigits() = default;
ListedDigits::ListedDigits(ListedDigits&&) noexcept = default;
ListedDigits& ListedDigits::operator=(ListedDigits&&) noexcept = default;

void ListedDigits::Add(const std::string& digits) {
    const std::string line = digits + "\n";
    digest_->Add(line.data(), line.size());
    ++count_;
}

std::optional<StateBinding> ListedDigits::Binding() const {
    const std::optional<std::string> listed = digest_->Peek();
    if (!listed) return std::nullopt;
    return StateBinding{count_, *listed};
}

bool SaveWholeState(const std::string& path, const StateBinding& binding,
                    const std::string& state) {
    const std::string text = StateText(binding, state);
    if (text.empty()) return false;
    FileStream file = OpenWriteStream(path);
    return file.Write(text.data(), static_cast<uint32_t>(text.size())) == text.size();
}

std::optional<std::string> LoadWholeState(const std::string& path,
                                          const std::vector<std::string>& digests, uint64_t bytes) {
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
    const std::optional<StateBinding> binding = ListedDigits(digests).Binding();
    if (!binding || text != StateText(*binding, state)) return std::nullopt;
    // And after exactly their bytes: a state of other bytes would give the pieces' lines
    // right and the whole file's wrong.
    Sha256 digest;
    if (!digest.ResumeFrom(state) || digest.Length() != bytes) return std::nullopt;
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
    uint64_t bytes = 0;
    for (int64_t n = 1; n <= listed; ++n) bytes += static_cast<uint64_t>(plan.SizeOf(n));
    return {digests, LoadWholeState(WholeStatePath(folder, fileName), digests, bytes)};
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
