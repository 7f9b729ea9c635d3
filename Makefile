# Velomat: the everyday commands.
#   make        install what is missing and build
#   make run    build and start the editor, the simulated controller beside it
#   make test   build and run every test (offscreen)
#   make bench  build and run the benchmarks
#   make clean  remove the build folder

BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
ARGS      ?=

.PHONY: all deps configure build run test bench clean

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

run: build
	@scripts/run-with-sim $(BUILD) $(ARGS)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure --parallel 2

bench: build
	@for b in $(BUILD)/bench/*; do [ -x "$$b" ] && [ -f "$$b" ] && { echo "== $$(basename $$b)"; QT_QPA_PLATFORM=offscreen "$$b"; }; done; true

clean:
	rm -rf $(BUILD)
