// Solving in the recovery arithmetic's field: the rebuild of k missing slices from k recovery
// slices inverts the k x k matrix of their input constants' powers. Portable: no system calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The inverse of the k x k matrix given row by row (entry (r, c) at r * k + c), by Gaussian
// elimination; nothing when the matrix is singular, is not k x k, or no memory holds the work.
std::optional<std::vector<uint16_t>> InvertMatrix(std::vector<uint16_t> matrix, size_t k);
