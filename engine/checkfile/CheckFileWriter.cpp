// The split's check file: saved anew, a line appended per piece, cut back to its first lines.
#include "engine/checkfile/CheckFileWriter.h"

#include "engine/checkfile/CheckFile.h"
#include "engine/pieces/PieceSet.h"

namespace {

constexpr size_t kDigits = 64;

bool WriteAll(FileStream& stream, const std::string& text) {
    return stream.Write(text.data(), static_cast<uint32_t>(text.size())) == text.size();
}

} // namespace

CheckFileWriter::CheckFileWriter(const std::string& folder, const std::string& fileName)
    : fileName_(fileName), path_(folder + CheckFileName(fileName)) {}

bool CheckFileWriter::Save() {
    stream_ = OpenWriteStream(path_);
    return stream_.IsOpen() && WriteAll(stream_, text_);
}

bool CheckFileWriter::Add(const std::string& digits, const std::string& name) {
    const std::string line = CheckLine(digits, name);
    text_ += line;
    return WriteAll(stream_, line);
}

void CheckFileWriter::Remove() {
    stream_.Close();
    RemoveFile(path_);
}

bool CheckFileWriter::KeepFirstLines(int64_t lines) {
    size_t end = 0;
    // Every line ends in "\n", and no name holds one.
    for (int64_t n = 0; n < lines && end < text_.size(); ++n) end = text_.find('\n', end) + 1;
    text_.resize(end);
    // The file is held open without sharing: closed first, for Save to open it again.
    stream_.Close();
    const bool saved = Save() && stream_.Flush();
    stream_.Close();
    return saved;
}

uint64_t CheckFileWriter::BytesWith(int64_t pieceNumber) const {
    const std::string digits(kDigits, '0');
    return text_.size() + CheckLine(digits, PieceName(fileName_, pieceNumber)).size() +
           CheckLine(digits, fileName_).size();
}
