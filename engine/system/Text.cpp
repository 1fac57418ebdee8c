// Decimal numbers to and from CP1251 text, and the folder and file name parts of a path.
#include "engine/system/Text.h"

#include <limits>

std::string DecimalText(int64_t value) {
    // Built from the unsigned magnitude so that the smallest value comes out in full.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[24];
    int at = sizeof digits;
    do {
        digits[--at] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[--at] = '-';
    return std::string(digits + at, sizeof digits - at);
}

namespace {

struct SignedDigits {
    bool negative = false;
    std::string_view digits;
};

SignedDigits SplitSign(std::string_view text) {
    SignedDigits result;
    size_t at = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        result.negative = text[0] == '-';
        at = 1;
    }
    size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    result.digits = text.substr(at, end - at);
    return result;
}

} // namespace

int32_t ParseDecimal(std::string_view text) {
    SignedDigits number = SplitSign(text);
    uint32_t value = 0;
    for (char c : number.digits) value = value * 10u + static_cast<uint32_t>(c - '0');
    if (number.negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int64_t ParseDecimalWide(std::string_view text) {
    SignedDigits number = SplitSign(text);
    constexpr uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t value = 0;
    for (char c : number.digits) {
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    return number.negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

namespace {

size_t NameStart(std::string_view path) {
    size_t last = path.find_last_of("\\:");
    return last == std::string_view::npos ? 0 : last + 1;
}

} // namespace

std::string FileNamePart(std::string_view path) {
    return std::string(path.substr(NameStart(path)));
}

std::string FolderPart(std::string_view path) {
    return std::string(path.substr(0, NameStart(path)));
}
