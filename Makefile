# Two commands do everything on a fresh Debian machine: `make run` and `make test`.
JOBS ?= $(shell nproc)
# BUILD lets several work trees of builds live side by side (make test BUILD=build/mine).
BUILD ?= build
WIN := $(BUILD)/win
WIN32 := $(BUILD)/win32
NATIVE := $(BUILD)/native
FUZZ := $(BUILD)/fuzz

.PHONY: all setup build win native fuzz test run screenshots bench format clean

all: build

setup:
	@bash scripts/setup.sh

# The tests' build: i686 where this machine runs 32-bit programs, x86_64 where it cannot.
$(WIN)/CMakeCache.txt:
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$$(scripts/win-arch.sh).cmake -DCMAKE_BUILD_TYPE=Release

# The program as it ships is always 32-bit.
$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DVARNOK_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug

# Where the tests' build is not i686, the 32-bit programs are built beside it all the same
# (the program as it ships, and every test program), and their tables are checked unrun.
win: setup $(WIN)/CMakeCache.txt
	@if [ "$$(scripts/win-arch.sh)" != i686 ]; then \
	  $(MAKE) --no-print-directory $(WIN32)/CMakeCache.txt && cmake --build $(WIN32) -j $(JOBS); \
	fi
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

# Builds the program alone and starts it under Wine on this display, with the Russian locale
# (code page 1251).
run: setup $(WIN)/CMakeCache.txt
	@if [ -z "$${DISPLAY:-}" ]; then \
	  echo "make run: no display (DISPLAY is not set); run it from a desktop session, or on a virtual one: xvfb-run -a make run"; \
	  exit 1; \
	fi
	cmake --build $(WIN) -j $(JOBS) --target Varnok
	VARNOK_WINDOW_MANAGER=1 VARNOK_CRASH_DIALOG=1 scripts/wine-run.sh $(abspath $(WIN))/runprefix $(WIN)/app/Varnok.exe

# Pictures of the three pages for the README, into docs/.
screenshots: win
	VARNOK_BUILD=$(abspath $(BUILD)) bash scripts/screenshots.sh

# Timing is not a test: the benchmark runs only when asked for.
bench: win
	VARNOK_BUILD=$(abspath $(BUILD)) bash bench/run.sh
	VARNOK_BUILD=$(abspath $(BUILD)) bash bench/start.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
