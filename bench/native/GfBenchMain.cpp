// The recovery kernel's timing on the host, optimised and without sanitizers:
//   varnok_gf_bench [BYTES [MANY_BYTES [COUNT]]]
// (1 MiB; 32 MiB into 8 destinations unless given).
#include <cstdlib>

#include "bench/GfBench.h"

int main(int argc, char** argv) {
    const auto arg = [&](int i, size_t otherwise) {
        return argc > i ? static_cast<size_t>(std::strtoull(argv[i], nullptr, 10)) : otherwise;
    };
    return RunGfBench(arg(1, 1 << 20), arg(2, 32 << 20), arg(3, 8));
}
