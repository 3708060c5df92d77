# The two commands of the README: `make run` and `make test`. Both install what is
# missing, configure and build first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 20

.PHONY: all deps configure build test run clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) --log-level=WARNING

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

# Every test: the suite, then the whole suite again under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer (build-sanitize), then a
# bounded fuzzing run of every parser, FUZZ_SECONDS each (build-fuzz).
test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@scripts/test-sanitized
	@scripts/fuzz-smoke $(FUZZ_SECONDS)

run: build
	@scripts/run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
