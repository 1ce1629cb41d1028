# A thin wrapper over the CMake presets; CMakePresets.json holds the real settings.
.PHONY: all deps build test fuzz demo clean

FUZZ_SECONDS ?= 60

all: build

deps:
	bash scripts/setup-deps

build: deps
	cmake --preset release
	cmake --build --preset release

# Every test: the full build, then the core and its tests again under ASan and UBSan, the
# engines' tests under ThreadSanitizer, each fuzz harness once over its corpus, and the window
# with its widget tests under ASan and UBSan.
test: deps
	cmake --preset release
	cmake --build --preset release
	ctest --preset release
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan
	cmake --preset fuzz
	cmake --build --preset fuzz
	ctest --preset fuzz
	cmake --preset asan-ui
	cmake --build --preset asan-ui
	ctest --preset asan-ui

# Each fuzz harness for FUZZ_SECONDS seconds; new corpus entries and failing inputs go into
# fuzz/corpus/ (see scripts/fuzz).
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz

demo: build
	bash scripts/demo

clean:
	rm -rf build
