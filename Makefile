# Two commands do everything on a fresh Debian machine: `make run` and `make test`.
JOBS ?= $(shell nproc)
# BUILD lets several work trees of builds live side by side (make test BUILD=build/mine).
BUILD ?= build
WIN := $(BUILD)/win
NATIVE := $(BUILD)/native
FUZZ := $(BUILD)/fuzz

.PHONY: all setup build win native fuzz test bench format clean

all: build

setup:
	@bash scripts/setup.sh

$(WIN)/CMakeCache.txt:
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DVARNOK_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug

win: setup $(WIN)/CMakeCache.txt
	cmake --build $(WIN) -j $(JOBS)

native: setup $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

# The libFuzzer targets: a host build of the portable logic with clang.
$(FUZZ)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DVARNOK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

fuzz: setup $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)

build: win native fuzz

test: build
	VARNOK_BUILD=$(abspath $(BUILD)) bash scripts/run-tests.sh

# Timing is not a test: the benchmark runs only when asked for.
bench: win
	VARNOK_BUILD=$(abspath $(BUILD)) bash bench/run.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
