// The inverse of the rebuild's matrix in the field, by elimination with its rows as runs of words.
#include "engine/recovery/Galois16Solve.h"

#include <algorithm>
#include <bit>
#include <new>
#include <utility>

#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Kernel.h"

// The rows go through the multiply-add kernel as runs of little-endian words.
static_assert(std::endian::native == std::endian::little);

namespace {

uint8_t* Bytes(uint16_t* words) { return reinterpret_cast<uint8_t*>(words); }

// Brings a non-zero entry of column col to row col and makes it 1; false when the column has
// none at or below that row.
bool MakePivot(uint16_t* left, uint16_t* right, size_t k, size_t col) {
    size_t pivot = col;
    while (pivot < k && left[pivot * k + col] == 0) ++pivot;
    if (pivot == k) return false;
    if (pivot != col) {
        std::swap_ranges(left + pivot * k, left + pivot * k + k, left + col * k);
        std::swap_ranges(right + pivot * k, right + pivot * k + k, right + col * k);
    }
    const uint16_t scale = Galois16::Inverse(left[col * k + col]);
    for (size_t c = col; c < k; ++c)
        left[col * k + c] = Galois16::Multiply(left[col * k + c], scale);
    for (size_t c = 0; c < k; ++c)
        right[col * k + c] = Galois16::Multiply(right[col * k + c], scale);
    return true;
}

} // namespace

std::optional<std::vector<uint16_t>> InvertMatrix(std::vector<uint16_t> matrix, size_t k) {
    if (k == 0) return matrix.empty() ? std::optional(std::move(matrix)) : std::nullopt;
    if (matrix.size() / k != k || matrix.size() % k != 0) return std::nullopt;
    std::vector<uint16_t> inverse;
    try {
        inverse.assign(matrix.size(), 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    for (size_t i = 0; i < k; ++i) inverse[i * k + i] = 1;
    uint16_t* left = matrix.data();
    uint16_t* right = inverse.data();
    for (size_t col = 0; col < k; ++col) {
        if (!MakePivot(left, right, k, col)) return std::nullopt;
        // Clears the column in every other row; the left rows' entries before col are zero
        // in the pivot row already.
        for (size_t r = 0; r < k; ++r) {
            const uint16_t entry = left[r * k + col];
            if (r == col || entry == 0) continue;
            MultiplyAdd(Bytes(left + r * k + col), Bytes(left + col * k + col), (k - col) * 2,
                        entry);
            MultiplyAdd(Bytes(right + r * k), Bytes(right + col * k), k * 2, entry);
        }
    }
    return inverse;
}
