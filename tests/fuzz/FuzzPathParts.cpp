// FileNamePart and FolderPart divide every path at its last "\" or ":" and lose nothing.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/system/Text.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string name = FileNamePart(path);
    const std::string folder = FolderPart(path);
    Check(folder + name == path);
    Check(name.find_first_of("\\:") == std::string::npos);
    Check(folder.empty() || folder.back() == '\\' || folder.back() == ':');
    // Taking the parts again changes nothing.
    Check(FileNamePart(name) == name && FolderPart(name).empty());
    Check(FolderPart(folder) == folder && FileNamePart(folder).empty());
    return 0;
}
