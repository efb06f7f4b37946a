# make run      install what building and running need, build, start the application
# make test     install the test tools too, build (plain and sanitized), run every test
# make bench    build and run the benchmarks
# make package  build the Debian package into $(BUILD)/
BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?=

.PHONY: run test bench package setup setup-test build clean

setup:
	@tools/setup.sh

setup-test:
	@tools/setup.sh test

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@tools/run.sh $(BUILD)/tendril

test: setup-test
	@tools/test.sh $(BUILD) $(ASAN_BUILD)

bench: setup-test build
	@tools/bench.sh $(BUILD)

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
