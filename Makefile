# The two commands of the quick start, and the jobs CI runs. All builds go through the CMake
# presets in CMakePresets.json; PRESET picks one (default, ci-gcc, ci-clang, asan, fuzz).
PRESET ?= default
BUILD_DIR := build/$(PRESET)
JOBS ?= 2

.PHONY: all build demo test fuzz fuzz-long bench clean

all: build

build:
	cmake --preset $(PRESET) > /dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

# Builds, writes the demo event under demo/ and runs vorlind there with the scripted answers.
demo: build
	rm -rf demo
	$(BUILD_DIR)/vorlind-mkevent demo demo
	cp -r $(BUILD_DIR)/images demo/images
	cd demo && ../$(BUILD_DIR)/vorlind < answers.txt; echo "vorlind exit code: $$?"
	@ls demo/*.html >/dev/null 2>&1 && echo "Report written: $$(ls demo/*.html)" || true

# Builds and runs every test: unit, whole-run and conformance tests.
test: build
	ctest --preset $(PRESET) -j $(JOBS)

# Builds the libFuzzer targets (clang) and runs each for FUZZ_SECONDS on the kept corpus and the
# seeds. fuzz-long runs a campaign: FUZZ_LONG_JOBS targets at a time for FUZZ_LONG_SECONDS each,
# then merges what they found into the kept corpus under fuzz/corpus/.
FUZZ_SECONDS ?= 60
FUZZ_LONG_SECONDS ?= 7200
FUZZ_LONG_JOBS ?= 3
fuzz:
	$(MAKE) build PRESET=fuzz
	fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

fuzz-long:
	$(MAKE) build PRESET=fuzz
	fuzz/run_fuzzers.sh build/fuzz $(FUZZ_LONG_SECONDS) --long $(FUZZ_LONG_JOBS)

# The benchmark: a long event (five grids of 20 cars, a 60-lap race at 60 fps, about 710 MB) and
# the same with 30 laps, written once into ignored folders; a full run of each is timed against
# reading its replays once with cat, then the micro-benchmarks of the frame stream searches run.
BENCH_EVENT ?= bench-event
bench: build
	@for laps in 60 30; do dir=$(BENCH_EVENT)-$$laps; \
	  test -f $$dir/.complete || { rm -rf $$dir && \
	    $(BUILD_DIR)/vorlind-mkevent long $$dir 5 20 $$laps && touch $$dir/.complete; } || exit 1; done
	@echo "== 60-lap race"; $(BUILD_DIR)/bench/vorlind_measure $(BUILD_DIR)/vorlind $(BENCH_EVENT)-60
	@echo "== 30-lap race"; $(BUILD_DIR)/bench/vorlind_measure $(BUILD_DIR)/vorlind $(BENCH_EVENT)-30
	$(BUILD_DIR)/bench/vorlind_bench

# The Windows program, its release package and the checks of both. Each target installs the
# Debian packages it needs when their command is missing: $(call need,COMMAND,PACKAGES).
need = command -v $(1) >/dev/null 2>&1 || { apt-get update -q && \
	DEBIAN_FRONTEND=noninteractive apt-get install -y -q $(2); }

.PHONY: windows wine-check browser-check dist

# vorlind.exe for 64-bit Windows: cross-compiled with MinGW-w64, linked statically.
windows:
	@$(call need,x86_64-w64-mingw32-g++,g++-mingw-w64-x86-64)
	cmake --preset windows > /dev/null
	cmake --build --preset windows -j $(JOBS)
	@echo "Windows program: build/windows/vorlind.exe, $$(stat -c %s build/windows/vorlind.exe) bytes"

# Runs vorlind.exe under Wine beside the Linux build on the conformance cases and the demo event.
wine-check: windows build
	@$(call need,wine,wine wine64)
	tests/wine_check.sh $(BUILD_DIR)/vorlind build/windows/vorlind.exe $(BUILD_DIR)/vorlind-mkevent

# Opens the demo report in headless Chromium; the screenshot lands in build/browser-check/.
browser-check: demo
	@$(call need,chromium,chromium)
	tests/browser_check.sh demo build/browser-check

# The release package build/dist/vorlind-windows.zip.
dist: windows build
	@$(call need,zip,zip)
	packaging/make_dist.sh build/windows/vorlind.exe $(BUILD_DIR)/images build/dist/vorlind-windows.zip

clean:
	rm -rf build demo
