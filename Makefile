# A thin wrapper over the CMake presets; CMakePresets.json holds the real settings.
.PHONY: all deps build test demo clean

all: build

deps:
	bash scripts/setup-deps

build: deps
	cmake --preset release
	cmake --build --preset release

# Every test: the full build, then the core and its tests again under ASan and UBSan, and the
# engines' tests under ThreadSanitizer.
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

demo: build
	bash scripts/demo

clean:
	rm -rf build
