# Quick start: `make run` (the application with an emulated keyboard) and `make test` (the whole suite).
# Both install what is missing, configure and build first.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
PACKAGE_BUILD ?= build-deb
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 30
GEN        := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build test test-kernel test-fast test-asan test-tsan run fuzz fuzz-short bench install package clean format format-check tidy

all: build

deps:
	@BUILD=$(BUILD) bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The sources the formatter and the checks look at: every C++ file of the tree but the build folders.
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
CORE_SOURCES = $(filter link/% devices/% profiles/% macros/% update/% tools/% app/sdk/%,$(filter %.cpp,$(SOURCES))) \
               $(filter platform/%,$(filter-out platform/qt/%,$(filter %.cpp,$(SOURCES))))

# Fails on any file that .clang-format would change (tables keep "// clang-format off").
format-check: deps
	@clang-format --dry-run --Werror $(SOURCES) && echo "format: $(words $(SOURCES)) files follow .clang-format"

format: deps
	clang-format -i $(SOURCES)

# The checks of .clang-tidy over the toolkit-free core, against the sanitizer build's compile
# commands; any finding fails.
tidy: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DNK7X_SANITIZE=ON -DNK7X_GUI=OFF
	bash scripts/run-tidy.sh $(ASAN_BUILD) $(JOBS) $(CORE_SOURCES)

# The plain suite, the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, a
# short run of every fuzz target, the threaded core tests under ThreadSanitizer, and clang-tidy over
# the core.
test: format-check build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-kernel
	$(MAKE) test-asan
	$(MAKE) fuzz-short
	$(MAKE) test-tsan
	$(MAKE) tidy

# The tests under Debian's own kernel in a QEMU guest: the emulated devices on a real USB bus
# (dummy_hcd and the HID gadget), found through usbhid, hidraw and udev (tests/kernel/).
test-kernel: build
	bash tests/kernel/run-kernel-tests.sh $(BUILD)

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DNK7X_SANITIZE=ON -DNK7X_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The tests of the core's threads (command link, HID transport, light thread and sync hub, key-event
# thread with its sync requests, discovery, emulator plugging, the evdev reader) built with
# ThreadSanitizer; a reported race fails the run.
TSAN_TESTS ?= ^(CommandLink[A-Za-z]*|SimKeyboard|HidrawNode|NoDevices|SimFolder|LightThreadTest|LightSyncHubTest|LightPreviewWiringTest|KeyEventTest|DeviceWorker|WorkerKeyboardTest|KeyEventThread|LiveLightingTest|DiscoveryThreadTest|DiscoveryProbeFaults|SimPlug|EvdevHookTest|Wlr[A-Za-z]*)\.
TSAN_TARGETS ?= test_link test_link_hid test_devices_light test_devices_keyboard test_devices_discovery test_tools_sim test_platform
test-tsan: deps
	@[ -f $(TSAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(TSAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DNK7X_TSAN=ON -DNK7X_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

run: build
	bash scripts/run-demo.sh $(BUILD)/bin

# Each libFuzzer target runs for FUZZ_SECONDS on its seed corpus.
fuzz: deps
	@[ -f $(FUZZ_BUILD)/CMakeCache.txt ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNK7X_FUZZ=ON -DNK7X_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	bash scripts/run-fuzzers.sh $(FUZZ_BUILD)/bin $(FUZZ_SECONDS)

# Every fuzz target for 10 seconds: part of `make test`; a crash fails it.
fuzz-short:
	$(MAKE) fuzz FUZZ_SECONDS=10

bench: build
	bash scripts/run-benchmarks.sh $(BUILD)/bin

install: build
	cmake --install $(BUILD)

# The Debian package, $(PACKAGE_BUILD)/nk7x_VERSION_ARCH.deb: a build of its own for the prefix /usr
# (the packaged program looks for its data there), of only what the package holds. The test suite
# checks the package of its own build (tests/install/check_package.sh).
package: deps
	@[ -f $(PACKAGE_BUILD)/CMakeCache.txt ] || cmake -S . -B $(PACKAGE_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
	@grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr' $(PACKAGE_BUILD)/CMakeCache.txt || { \
	  echo "package: $(PACKAGE_BUILD) is not configured for /usr (cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_INSTALL_PREFIX=/usr)" >&2; exit 1; }
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target nk7x_installed
	cd $(PACKAGE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD) $(PACKAGE_BUILD)
