# The front door: `make` builds build/win32/hdasetup.exe (and its x86-64 twin in
# build/win64), `make test` installs what is missing, builds every side and runs every
# test through CTest.
.PHONY: all win32 win64 native fuzzers test test-x86 unit fuzz deps deps-demo bench format clean demo demo-build

all: win32 win64

# Everything the builds and tests need; deps-demo only what make demo runs on this host (one
# MinGW, the Wine this host runs, Xvfb; the screenshot tools with DEBUG in ARGS, the exe and
# image readers for a DISC).
deps:
	@tools/install-deps.sh test

deps-demo:
	@tools/install-deps.sh demo

build/win32/CMakeCache.txt:
	cmake --preset win32

build/native/CMakeCache.txt:
	cmake --preset native

win32: deps build/win32/CMakeCache.txt
	cmake --build --preset win32

# The same sources for x86-64: what the Wine tests run on a host that runs no 32-bit
# programs, and a build that fails wherever a pointer or handle is cut to 32 bits.
build/win64/CMakeCache.txt:
	cmake --preset win64

win64: deps build/win64/CMakeCache.txt
	cmake --build --preset win64

# No `deps` here: the unit tests need neither MinGW nor Wine (make unit).
native: build/native/CMakeCache.txt
	cmake --build --preset native

build/fuzz/CMakeCache.txt:
	cmake --preset fuzz

# The libFuzzer targets, built with clang: the test run gives each a few seconds.
fuzzers: deps build/fuzz/CMakeCache.txt
	cmake --build --preset fuzz

# One CTest run: the unit tests and the end-to-end tests under Wine, one summary. The
# x86guest entries only report what `make test-x86` ran, so they are left out here.
test: deps win32 win64 native fuzzers
	ctest --preset native -LE x86guest

# The end-to-end scripts this host cannot run (a 32-bit program under WOW64 where the host
# runs no 32-bit programs), on the real 32-bit exe in an emulated x86-64 guest: minutes, so
# not part of `make test`. TESTS=all runs every script there, TESTS="hdmi wow64" those.
test-x86: win32 native
	tools/test-x86 $(TESTS)

# Only the unit tests and the layer guard, without Wine or MinGW (and without the minute of
# shellcheck: ctest --preset native -L lint).
unit: native
	ctest --preset native -LE 'e2e|fuzz|win32|x86guest|lint'

# Each libFuzzer target for 60 s; a crash lands in build/fuzz/artifacts.
fuzz: fuzzers
	bash fuzz/run.sh 60

# The program's silent run under Wine on a sample disc, with a report on the terminal.
# Takes ARGS="-S DEBUG", DISC=/path/to/disc PROGRAM=Drivers/Audio, WINDOWS=win2k.
demo:
	@tools/demo.sh

# What the demo runs and nothing more: one build's hdasetup.exe and the stand-ins of its run
# (DEMO_BUILD=win32 or win64, chosen by tools/demo.sh once Wine can tell what the host runs).
DEMO_BUILD ?= win32
demo-build: build/$(DEMO_BUILD)/CMakeCache.txt
	cmake --build --preset $(DEMO_BUILD) --target hdasetup demo_standins

# Measures the program under Wine and writes docs/performance.md (not a test).
bench: win32 win64
	bash tools/bench.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
