// The fastest of a few runs of a piece of work, for the bench's in-process timings.
#pragma once
#include <algorithm>
#include <chrono>
#include <functional>

// The fastest of tries runs of work, in seconds: the machine is shared, and the slower runs
// measure the others.
inline double FastestOf(int tries, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < tries; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}
