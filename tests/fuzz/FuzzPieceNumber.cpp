// PieceNumberOf reads back what PieceName wrote, and accepts only names PieceName can write;
// SetNameOf finds the set's name back from any of its pieces.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/pieces/PieceSet.h"
#include "engine/system/SameName.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

} // namespace

// The input is a base name, a zero byte, and an entry name; or, without a zero byte, a number
// and a base name for the round trip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');
    if (zero != std::string_view::npos) {
        const std::string_view base = input.substr(0, zero), entry = input.substr(zero + 1);
        if (const std::optional<int64_t> number = PieceNumberOf(entry, base)) {
            Check(*number >= 1);
            // The same name as the file system takes it: Cyrillic letters of either case too.
            Check(SameName(PieceName(base, *number), entry));
            const std::optional<std::string> set = SetNameOf(entry);
            Check(set && SameName(*set, base));
        }
        return 0;
    }
    if (size < 8) return 0;
    uint64_t raw;
    std::memcpy(&raw, data, sizeof raw);
    // Numbers of up to 18 digits: every piece number a set can have.
    const int64_t number = static_cast<int64_t>(raw % 999999999999999999ULL) + 1;
    const std::string_view base = input.substr(8);
    Check(PieceNumberOf(PieceName(base, number), base) == number);
    Check(SetNameOf(PieceName(base, number)) == std::string(base));
    Check(PiecePath("C:\\out\\", base, number) == "C:\\out\\" + PieceName(base, number));
    return 0;
}
