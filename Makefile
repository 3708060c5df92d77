# The two commands of the README: `make run` and `make test`. Both install what is
# missing, configure and build first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test run clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) --log-level=WARNING

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
