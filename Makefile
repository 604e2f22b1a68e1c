# The two commands of the quick start, and the jobs CI runs. All builds go through the CMake
# presets in CMakePresets.json; PRESET picks one (default, ci-gcc, ci-clang, asan).
PRESET ?= default
BUILD_DIR := build/$(PRESET)
JOBS ?= 2

.PHONY: all build demo test conformance clean

all: build

build:
	cmake --preset $(PRESET) > /dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

# Builds, writes the demo event under demo/ and runs vorlind there with the scripted answers.
demo: build
	rm -rf demo
	$(BUILD_DIR)/vorlind-mkevent demo demo
	cd demo && ../$(BUILD_DIR)/vorlind < answers.txt; echo "vorlind exit code: $$?"
	@ls demo/*.html >/dev/null 2>&1 && echo "Report written: $$(ls demo/*.html)" || true

# Builds and runs every test: unit, whole-run and conformance tests.
test: build
	ctest --preset $(PRESET) -j $(JOBS)

clean:
	rm -rf build demo
