# make run    install what is missing, build, start the application
# make test   install what is missing, build (plain and sanitized), run every test
# make bench  build and run the benchmarks
BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?=

.PHONY: run test bench setup build clean

setup:
	@tools/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@tools/run.sh $(BUILD)/tendril

test: setup
	@tools/test.sh $(BUILD) $(ASAN_BUILD)

bench: build
	@tools/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
