# make run      install what building and running need, build, start the application
# make test     install the test tools too, build (plain, sanitized, portable core), run every test
# make test-desktops  the window-control runs under GNOME Shell 45+ and KWin 6,
#                inside a Debian 13 root built once into /var/cache (minutes)
# make bench    build and run the benchmarks
# make package  build the Debian package into $(BUILD)/
BUILD      ?= build
ASAN_BUILD ?= build-asan
CORE_BUILD ?= build-core
CMAKE_ARGS ?=

.PHONY: run test test-desktops bench package setup setup-test build clean

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
	@tools/test.sh $(BUILD) $(ASAN_BUILD) $(CORE_BUILD)

test-desktops: setup
	@tools/setup.sh desktops
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD) --target tendril tendril-phone
	@tools/test-desktops.sh $(BUILD)

bench: setup-test build
	@tools/bench.sh $(BUILD)

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CORE_BUILD)
