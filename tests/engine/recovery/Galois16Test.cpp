// The recovery arithmetic's field and solver: products against a plain shift-and-reduce, powers
// and inverses against each other, the input constants, recovery slices against those the
// outside repair tool wrote, inverses of the matrices a rebuild solves, and a whole rebuild of
// several missing slices from as many recovery slices.
#include <gtest/gtest.h>

#include <bitset>
#include <random>
#include <vector>

#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Kernel.h"
#include "engine/recovery/Galois16Solve.h"

using namespace Galois16;

namespace {

uint16_t ShiftAndReduce(uint16_t a, uint16_t b) {
    uint32_t product = 0, x = a;
    for (; b != 0; b >>= 1) {
        if (b & 1) product ^= x;
        x <<= 1;
        if (x & 0x10000) x ^= Generator;
    }
    return static_cast<uint16_t>(product);
}

uint16_t PowerByProducts(uint16_t a, unsigned e) {
    uint16_t result = 1;
    for (unsigned i = 0; i < e; ++i) result = ShiftAndReduce(result, a);
    return result;
}

using Matrix = std::vector<uint16_t>;

Matrix Product(const Matrix& a, const Matrix& b, size_t k) {
    Matrix c(k * k, 0);
    for (size_t r = 0; r < k; ++r)
        for (size_t i = 0; i < k; ++i)
            for (size_t col = 0; col < k; ++col)
                c[r * k + col] ^= ShiftAndReduce(a[r * k + i], b[i * k + col]);
    return c;
}

Matrix Identity(size_t k) {
    Matrix m(k * k, 0);
    for (size_t i = 0; i < k; ++i) m[i * k + i] = 1;
    return m;
}

// Rows: exponents 0 .. k-1; columns: the input constants of the given slices.
Matrix Vandermonde(const std::vector<size_t>& slices) {
    const size_t k = slices.size();
    Matrix m(k * k);
    for (size_t e = 0; e < k; ++e)
        for (size_t j = 0; j < k; ++j) m[e * k + j] = Power(InputConstant(slices[j]), e);
    return m;
}

std::vector<size_t> DistinctSlices(std::mt19937& random, size_t k) {
    std::vector<size_t> slices;
    while (slices.size() < k) {
        const size_t s = random() % InputConstants;
        if (std::find(slices.begin(), slices.end(), s) == slices.end()) slices.push_back(s);
    }
    return slices;
}

} // namespace

TEST(Galois16Field, ProductsAgreeWithShiftAndReduce) {
    const uint16_t edges[] = {
        0,      1,      2,      3,      0x7FFF, 0x8000,
        0x8001, 0xFFFE, 0xFFFF, 0x100A, 0x100B, 0x100C}; // 0x100B: what x^16 reduces to
    for (uint16_t a : edges)
        for (uint16_t b : edges) ASSERT_EQ(Multiply(a, b), ShiftAndReduce(a, b)) << a << " " << b;
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        const auto a = static_cast<uint16_t>(random()), b = static_cast<uint16_t>(random());
        ASSERT_EQ(Multiply(a, b), ShiftAndReduce(a, b)) << a << " " << b;
        ASSERT_EQ(Multiply(a, b), Multiply(b, a));
    }
}

TEST(Galois16Field, TwoGeneratesTheFieldAndPowersInversesAndQuotientsAgree) {
    std::bitset<65536> seen;
    uint16_t x = 1;
    for (unsigned e = 0; e < GroupOrder; ++e, x = ShiftAndReduce(x, 2)) {
        ASSERT_EQ(Power(2, e), x) << e;
        ASSERT_FALSE(seen[x]) << "2^" << e << " came before";
        seen[x] = true;
    }
    EXPECT_EQ(x, 1);
    std::mt19937 random(11);
    for (unsigned a = 1; a <= 0xFFFF; ++a) {
        const auto value = static_cast<uint16_t>(a);
        ASSERT_EQ(Multiply(value, Inverse(value)), 1) << a;
        ASSERT_EQ(Power(value, GroupOrder), 1) << a;
        ASSERT_EQ(Power(value, GroupOrder - 1), Inverse(value)) << a;
        const auto b = static_cast<uint16_t>(random() | 1);
        ASSERT_EQ(Divide(Multiply(value, b), b), value) << a << " " << b;
    }
    for (int i = 0; i < 2000; ++i) {
        const auto a = static_cast<uint16_t>(random());
        const unsigned e = random() % 40;
        ASSERT_EQ(Power(a, e), PowerByProducts(a, e)) << a << "^" << e;
        ASSERT_EQ(Power(a, e + uint64_t{GroupOrder} * 1000003), Power(a, e == 0 ? GroupOrder : e));
    }
    EXPECT_EQ(Power(0, 0), 1);
    EXPECT_EQ(Power(0, 5), 0);
    EXPECT_EQ(Inverse(0), 0);
    EXPECT_EQ(Divide(5, 0), 0);
}

TEST(Galois16Field, InputConstantsAreTwoToTheNumbersPrimeTo65535) {
    const unsigned exponents[] = {1, 2, 4, 7, 8, 11, 13, 14, 16, 19, 22, 23, 26, 28, 29, 31, 32};
    for (size_t i = 0; i < std::size(exponents); ++i)
        EXPECT_EQ(InputConstant(i), PowerByProducts(2, exponents[i])) << i;
    // 65534 is the last number below 65535 prime to it, and the 32,768th.
    EXPECT_EQ(InputConstant(InputConstants - 1), Inverse(2));
    EXPECT_EQ(InputConstant(InputConstants), 0);
    std::bitset<65536> seen;
    for (size_t i = 0; i < InputConstants; ++i) {
        ASSERT_FALSE(seen[InputConstant(i)]) << i;
        seen[InputConstant(i)] = true;
    }
}

// The recovery slices of exponents 1, 2 and 300 that par2cmdline 0.8.1 wrote for an 80-byte
// file of bytes (37 i + 11) mod 256 in slices of 4 bytes (`par2 create -s4 -c2 -f1`, `-c1 -f300`).
TEST(Galois16Field, RecoverySlicesEqualTheOutsideTool) {
    std::vector<uint8_t> file(80);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>((37 * i + 11) % 256);
    const std::pair<unsigned, std::vector<uint8_t>> expected[] = {{1, {0x0d, 0xdd, 0x80, 0x2f}},
                                                                  {2, {0x0e, 0x6f, 0x87, 0x70}},
                                                                  {300, {0x78, 0x8d, 0x47, 0x0e}}};
    for (const auto& [exponent, bytes] : expected) {
        std::vector<uint8_t> slice(4, 0);
        for (size_t i = 0; i < 20; ++i)
            MultiplyAdd(slice.data(), &file[4 * i], 4, Power(InputConstant(i), exponent));
        EXPECT_EQ(slice, bytes) << "exponent " << exponent;
    }
}

TEST(Galois16Solve, InversesOfInvertibleMatricesGiveTheIdentity) {
    std::mt19937 random(5);
    for (const size_t k : {1, 2, 3, 5, 8, 17, 40}) {
        const Matrix v = Vandermonde(DistinctSlices(random, k));
        const std::optional<Matrix> inverse = InvertMatrix(v, k);
        ASSERT_TRUE(inverse) << k;
        EXPECT_EQ(Product(v, *inverse, k), Identity(k)) << k;
        EXPECT_EQ(Product(*inverse, v, k), Identity(k)) << k;
        // Lower times upper triangular, non-zero diagonals: invertible, and full of entries.
        Matrix lower(k * k, 0), upper(k * k, 0);
        for (size_t r = 0; r < k; ++r)
            for (size_t c = 0; c < k; ++c) {
                const auto value = static_cast<uint16_t>(r == c ? random() % 0xFFFF + 1 : random());
                if (c <= r) lower[r * k + c] = value;
                if (c >= r) upper[r * k + c] = static_cast<uint16_t>(r == c ? 1 : random());
            }
        const Matrix m = Product(lower, upper, k);
        const std::optional<Matrix> mInverse = InvertMatrix(m, k);
        ASSERT_TRUE(mInverse) << k;
        EXPECT_EQ(Product(m, *mInverse, k), Identity(k)) << k;
    }
    EXPECT_EQ(InvertMatrix({}, 0), Matrix{});
}

TEST(Galois16Solve, SingularOrMisshapenMatricesAreRefused) {
    std::mt19937 random(9);
    const size_t k = 6;
    Matrix m = Vandermonde(DistinctSlices(random, k));
    // Row 4 made the sum of a multiple of row 1 and row 2.
    for (size_t c = 0; c < k; ++c)
        m[4 * k + c] = ShiftAndReduce(m[1 * k + c], 0x1234) ^ m[2 * k + c];
    EXPECT_FALSE(InvertMatrix(m, k));
    Matrix zeroColumn = Vandermonde(DistinctSlices(random, k));
    for (size_t r = 0; r < k; ++r) zeroColumn[r * k + 3] = 0;
    EXPECT_FALSE(InvertMatrix(zeroColumn, k));
    // Two equal slices make two equal columns.
    EXPECT_FALSE(InvertMatrix(Vandermonde({3, 9, 3}), 3));
    EXPECT_FALSE(InvertMatrix(Matrix(7, 1), 3));
    EXPECT_FALSE(InvertMatrix(Matrix(1, 0), 1));
}

// A set of slices, recovery slices of exponents 0 .. k-1 written reading each slice once, k
// slices lost, and each rebuilt from the recovery slices, the others and the inverse.
TEST(RecoveryFlow, KLostSlicesAreRebuiltFromKRecoverySlices) {
    std::mt19937 random(3);
    const size_t slices = 12, k = 4, size = 4 * 1000 + 6;
    std::vector<std::vector<uint8_t>> data(slices, std::vector<uint8_t>(size));
    for (auto& slice : data)
        for (uint8_t& b : slice) b = static_cast<uint8_t>(random());
    std::vector<std::vector<uint8_t>> recovery(k, std::vector<uint8_t>(size, 0));
    std::vector<uint8_t*> targets;
    for (auto& r : recovery) targets.push_back(r.data());
    for (size_t i = 0; i < slices; ++i) {
        std::vector<uint16_t> factors;
        for (size_t e = 0; e < k; ++e) factors.push_back(Power(InputConstant(i), e));
        MultiplyAddMany(targets.data(), factors.data(), k, data[i].data(), size);
    }
    const std::vector<size_t> lost = {0, 5, 6, 11};
    // What remains of each recovery slice without the slices still there.
    for (size_t i = 0; i < slices; ++i)
        if (std::find(lost.begin(), lost.end(), i) == lost.end())
            for (size_t e = 0; e < k; ++e)
                MultiplyAdd(recovery[e].data(), data[i].data(), size, Power(InputConstant(i), e));
    const std::optional<Matrix> inverse = InvertMatrix(Vandermonde(lost), k);
    ASSERT_TRUE(inverse);
    for (size_t j = 0; j < k; ++j) {
        std::vector<uint8_t> rebuilt(size, 0);
        for (size_t e = 0; e < k; ++e)
            MultiplyAdd(rebuilt.data(), recovery[e].data(), size, (*inverse)[j * k + e]);
        EXPECT_EQ(rebuilt, data[lost[j]]) << "slice " << lost[j];
    }
}
