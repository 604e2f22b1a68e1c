# The two commands of the quick start, and the jobs CI runs. All builds go through the CMake
# presets in CMakePresets.json; PRESET picks one (default, ci-gcc, ci-clang, asan, fuzz).
PRESET ?= default
BUILD_DIR := build/$(PRESET)
JOBS ?= 2

.PHONY: all build demo test fuzz fuzz-long bench clean libraries

all: build

# Installs Debian packages when a command or a file is missing:
# $(call need,COMMAND,PACKAGES) and $(call need_file,FILE,PACKAGES).
apt_install = { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q $(1); }
need = command -v $(1) >/dev/null 2>&1 || $(call apt_install,$(2))
need_file = test -f $(1) || $(call apt_install,$(2))

# The header-only libraries the program is built with.
libraries:
	@$(call need_file,/usr/include/nlohmann/json.hpp,nlohmann-json3-dev)
	@$(call need_file,/usr/include/CLI/CLI.hpp,libcli11-dev)

build: libraries
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

# The benchmark: long events (five grids of 20 cars with a 60-lap race at 60 fps, about 680 MB;
# the same with 30 laps; three grids of 20 cars with 27 laps, about 63 MB a replay) and a crafted
# replay of 10 MB whose car records claim thousands of items each, written once into ignored
# folders. For each, the ways of reading its replays (mapped, read into a small buffer, read into
# a ring of 1 or 4 MiB) and the analysis of replays held in memory are timed against cat, then a
# full run against cat (interleaved, medians); then the micro-benchmarks of the frame stream
# searches run.
BENCH_EVENT ?= bench-event
BENCH_CASES = 60:long,5,20,60 30:long,5,20,30 3x27:long,3,20,27 crafted:crafted
bench: build
	@for case in $(BENCH_CASES); do dir=$(BENCH_EVENT)-$${case%%:*}; \
	  args=$$(echo $${case#*:} | tr , ' '); set -- $$args; kind=$$1; shift; \
	  test -f $$dir/.complete || { rm -rf $$dir && \
	    $(BUILD_DIR)/vorlind-mkevent $$kind $$dir $$@ && touch $$dir/.complete; } || exit 1; \
	  echo "== $$dir"; $(BUILD_DIR)/bench/vorlind_readbench $$dir || exit 1; \
	  $(BUILD_DIR)/bench/vorlind_measure $(BUILD_DIR)/vorlind $$dir || exit 1; done
	$(BUILD_DIR)/bench/vorlind_bench

# The Windows program, its release package and the checks of both. Each target installs the
# Debian packages it needs when they are missing.

.PHONY: windows wine-check browser-check dist

# vorlind.exe for 64-bit Windows: cross-compiled with MinGW-w64, linked statically.
windows: libraries
	@$(call need,x86_64-w64-mingw32-g++,g++-mingw-w64-x86-64)
	cmake --preset windows > /dev/null
	cmake --build --preset windows -j $(JOBS)
	@echo "Windows program: build/windows/vorlind.exe, $$(stat -c %s build/windows/vorlind.exe) bytes"

# Runs vorlind.exe under Wine beside the Linux build on the conformance cases and the demo event.
wine-check: windows build
	@$(call need,wine,wine wine64)
	tests/wine_check.sh $(BUILD_DIR)/vorlind build/windows/vorlind.exe $(BUILD_DIR)/vorlind-mkevent

# Opens the demo report, the demo event's charts page and the standings of a season written by
# the event writer in headless Chromium; the screenshots land in build/browser-check/.
browser-check: demo
	@$(call need,chromium,chromium)
	cd demo && ../$(BUILD_DIR)/vorlind export --charts ../build/demo-charts.html \
	  replays/demo_a.rpy replays/demo_b.rpy replays/demo_c.rpy
	rm -rf build/season-check
	$(BUILD_DIR)/vorlind-mkevent season build/season-check
	$(BUILD_DIR)/vorlind season --html build/season-standings.html build/season-check/season.json
	tests/browser_check.sh demo build/browser-check build/demo-charts.html \
	  build/season-standings.html

# The release package build/dist/vorlind-windows.zip.
dist: windows build
	@$(call need,zip,zip)
	packaging/make_dist.sh build/windows/vorlind.exe $(BUILD_DIR)/images build/dist/vorlind-windows.zip

clean:
	rm -rf build demo
