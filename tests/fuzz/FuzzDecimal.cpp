// ParseDecimal and ParseDecimalWide against references that read the number another way.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "engine/system/Text.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

// The sign and the run of digits that start the text; the rest does not count.
std::string NumberPrefix(std::string_view text) {
    size_t end = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return std::string(text.substr(0, end));
}

// The number modulo 2^32 by long division of the digits from the back.
uint32_t Modulo32(std::string_view digits) {
    uint64_t value = 0, power = 1;
    for (size_t i = digits.size(); i-- > 0;) {
        value = (value + static_cast<uint64_t>(digits[i] - '0') * power) & 0xFFFFFFFFu;
        power = (power * 10) & 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string prefix = NumberPrefix(text);
    const bool signed_ = !prefix.empty() && (prefix[0] == '-' || prefix[0] == '+');
    const bool negative = signed_ && prefix[0] == '-';
    const std::string_view digits = std::string_view(prefix).substr(signed_ ? 1 : 0);

    // Wraps like 32-bit arithmetic.
    uint32_t wrapped = Modulo32(digits);
    if (negative) wrapped = 0u - wrapped;
    Check(ParseDecimal(text) == static_cast<int32_t>(wrapped));

    // The wide reading agrees with strtoll, which saturates at the 64-bit limits; the wide
    // reading stops one short of the lowest value so that its sign can always be turned.
    long long expected = digits.empty() ? 0 : std::strtoll(prefix.c_str(), nullptr, 10);
    if (expected == std::numeric_limits<long long>::min())
        expected = -std::numeric_limits<int64_t>::max();
    const int64_t wide = ParseDecimalWide(text);
    Check(wide == expected);
    // Numbers that fit in 32 bits read the same both ways.
    if (wide >= std::numeric_limits<int32_t>::min() && wide <= std::numeric_limits<int32_t>::max())
        Check(ParseDecimal(text) == wide);
    // Decimal text reads back as the same number.
    Check(ParseDecimalWide(DecimalText(wide)) == wide);
    return 0;
}
