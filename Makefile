# The two commands of the README: `make run` and `make test`. Both install what is
# missing, configure and build first.
#
#   make windows   the Windows programs, cross-built with mingw-w64 into
#                  build-windows/bin (needs the Linux build: it packs the disk)
#   make aarch64   the archive engine and its tests for 64-bit ARM, run under
#                  qemu-user by `make test`
#   make dist      the Debian package and the Windows zip, in build/dist
BUILD_DIR ?= build
WINDOWS_BUILD_DIR ?= build-windows
AARCH64_BUILD_DIR ?= build-aarch64
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 20

.PHONY: all deps configure build test run clean windows aarch64 test-windows test-aarch64 dist

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) --log-level=WARNING

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

# Release, without debugging information: the programs are what a user gets.
windows: build
	@scripts/install-deps --windows
	@cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DQUARB_HOST_BUILD_DIR=$(abspath $(BUILD_DIR)) --log-level=WARNING
	@cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS) -- --no-print-directory

aarch64:
	@scripts/install-deps --aarch64
	@cmake -S . -B $(AARCH64_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=Release --log-level=WARNING
	@cmake --build $(AARCH64_BUILD_DIR) -j $(JOBS) -- --no-print-directory

test-windows: windows
	@cd $(WINDOWS_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test-aarch64: aarch64
	@cd $(AARCH64_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Every test: the Linux suite; the Windows programs under Wine; the engine on
# aarch64 under qemu-user; the packages of `make dist` (after the Windows
# build, whose player the package carries); the whole suite again under
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer
# (build-sanitize); then a bounded fuzzing run of every parser, FUZZ_SECONDS
# each (build-fuzz).
test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -LE dist
	@$(MAKE) --no-print-directory test-windows
	@$(MAKE) --no-print-directory test-aarch64
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -L dist
	@scripts/test-sanitized
	@scripts/fuzz-smoke $(FUZZ_SECONDS)

# The Debian package and the Windows zip, in $(BUILD_DIR)/dist (scripts/make-dist).
dist: build windows
	@scripts/make-dist --build $(BUILD_DIR) --windows-build $(WINDOWS_BUILD_DIR) --out $(BUILD_DIR)/dist

run: build
	@scripts/run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(WINDOWS_BUILD_DIR) $(AARCH64_BUILD_DIR)
