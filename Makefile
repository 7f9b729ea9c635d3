# Velomat: the everyday commands.
#   make        install what is missing and build
#   make run    build and start the editor, the simulated controller beside it
#   make test   build and run every test (offscreen)
#   make test-sanitize  the same with AddressSanitizer and UBSan, in build-asan
#   make bench  build and run the benchmarks
#   make fuzz   build the fuzz targets in build-fuzz and run each FUZZ_SECONDS
#   make package  build the programs and the Debian package in the build folder
#   make package-check  the package, checked by lintian and installed and run
#               in a minimal Debian 12 root
#   make clean  remove the build folder

BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
ARGS      ?=

.PHONY: all deps configure build run test test-sanitize bench fuzz package package-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ]; then \
	  gen=""; command -v ninja >/dev/null && gen="-G Ninja"; \
	  cmake -S . -B $(BUILD) $$gen -DCMAKE_BUILD_TYPE=$(BUILDTYPE); \
	fi

build: configure
	@cmake --build $(BUILD) --parallel

# Only the two programs it starts: the tests and benchmarks are built by
# make test and make bench.
run: configure
	@cmake --build $(BUILD) --parallel --target velomat velomat-sim
	@scripts/run-with-sim $(BUILD) $(ARGS)

# Three at a time on two cores: the tests spend most of their time waiting
# on simulated serial lines and timers, not computing.
test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure --parallel 3 --timeout 300

# Every test again on a build with AddressSanitizer and UndefinedBehavior-
# Sanitizer: a memory error, a leak or undefined behaviour fails the test.
SAN_BUILD ?= build-asan
SAN_FLAGS := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined

test-sanitize: deps
	@if [ ! -f $(SAN_BUILD)/CMakeCache.txt ]; then \
	  gen=""; command -v ninja >/dev/null && gen="-G Ninja"; \
	  cmake -S . -B $(SAN_BUILD) $$gen -DCMAKE_BUILD_TYPE=Debug \
	    "-DCMAKE_CXX_FLAGS=$(SAN_FLAGS)" "-DCMAKE_EXE_LINKER_FLAGS=$(SAN_FLAGS)"; \
	fi
	@cmake --build $(SAN_BUILD) --parallel
	QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure --parallel 2 --timeout 600

bench: build
	@for b in $(BUILD)/bench/*; do [ -x "$$b" ] && [ -f "$$b" ] && { echo "== $$(basename $$b)"; QT_QPA_PLATFORM=offscreen "$$b"; }; done; true

# The fuzz targets: a build of their own with clang and the sanitizers; each
# target runs FUZZ_SECONDS, or until FUZZ_RUNS inputs when that comes first,
# on a copy of its seed corpus, so that what it finds stays in build-fuzz.
# A crash stops the run; its input is in build-fuzz/artifacts/<target>/.
# Allocation stacks are not recorded: taken
# through the system's Qt, built without frame pointers, they are mostly
# garbage, each one new, and the store of them grew without end and slowed
# a target to a third of its speed within a quarter of an hour. A replay of
# the artifact (the target with the file as argument) records them again.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?= -1
FUZZ_TARGETS ?= programfile upload inifile cfgfiles receive

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD)/CMakeCache.txt ]; then \
	  gen=""; command -v ninja >/dev/null && gen="-G Ninja"; \
	  CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $$gen -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELOMAT_FUZZ=ON; \
	fi
	@cmake --build $(FUZZ_BUILD) --target velomat_fuzzers --parallel
	@for t in $(FUZZ_TARGETS); do \
	  corpus=$(FUZZ_BUILD)/corpus/$$t; artifacts=$(FUZZ_BUILD)/artifacts/$$t; \
	  mkdir -p $$corpus $$artifacts; cp -n fuzz/corpus/$$t/* $$corpus/ 2>/dev/null; \
	  echo "== fuzz_$$t, $(FUZZ_SECONDS) s"; \
	  dict=""; [ -f fuzz/$$t.dict ] && dict="-dict=fuzz/$$t.dict"; \
	  ASAN_OPTIONS=$${ASAN_OPTIONS:-malloc_context_size=0} \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -runs=$(FUZZ_RUNS) -timeout=10 $$dict \
	    -artifact_prefix=$$artifacts/ $$corpus || exit 1; \
	done

# The Debian package (velomat_<version>_<arch>.deb in the build folder): the
# three programs, the language files, the desktop file and the icon, the
# manual pages, bash completion for velomat-cli and the AppStream metadata.
package: configure
	@cmake --build $(BUILD) --parallel --target velomat velomat-cli velomat-sim velomat-packaging
	@cd $(BUILD) && cpack -G DEB

# The package built as above, then checked: lintian (no error, no warning),
# the AppStream metadata and the desktop file validated, and the package
# installed into a minimal Debian 12 root kept in $(BUILD)/pkgroot, where
# each program is started. Needs root or sudo and the network.
package-check: package
	@scripts/package-check $(BUILD)

# --one-file-system: never into a /proc that a killed package-check left
# mounted in $(BUILD)/pkgroot.
clean:
	rm -rf --one-file-system $(BUILD) $(SAN_BUILD)
