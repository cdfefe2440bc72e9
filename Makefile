# The front door: `make` builds build/win32/hdasetup.exe, `make test` installs what is
# missing, builds both sides and runs every test through CTest.
.PHONY: all win32 native test unit deps format clean

all: win32

deps:
	@tools/install-deps.sh

build/win32/CMakeCache.txt:
	cmake --preset win32

build/native/CMakeCache.txt:
	cmake --preset native

win32: deps build/win32/CMakeCache.txt
	cmake --build --preset win32

native: deps build/native/CMakeCache.txt
	cmake --build --preset native

# One CTest run: the unit tests and the end-to-end tests under Wine, one summary.
test: win32 native
	ctest --preset native

# Only the unit tests, without Wine.
unit: native
	ctest --preset native -LE e2e

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
