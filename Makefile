# SPDX-License-Identifier: GPL-3.0-or-later
# Zafrel: the two everyday commands are `make run` and `make test`; each installs what it is missing first.
# `make check` is the quick loop while developing: the test build and the offscreen suite only.
# build/ is the plain build that run, bench and package share; make test builds in folders of its own.
BUILD      ?= build
TEST_BUILD ?= build-test
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
MAKEFLAGS  += --no-print-directory
PLAIN      := cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAFREL_WERROR=OFF -DZAFREL_SANITIZE=OFF

.PHONY: run test check build bench format package clean

build:
	@scripts/install-deps
	@$(PLAIN) -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)/zafrel

test:
	@scripts/install-deps test
	@scripts/test $(TEST_BUILD) $(ASAN_BUILD)

check:
	@scripts/install-deps test
	@scripts/test --offscreen-only $(TEST_BUILD)

bench:
	@scripts/install-deps
	@$(PLAIN) -DBUILD_TESTING=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target zafrel_bench
	@$(BUILD)/bench/zafrel_bench

format:
	@scripts/format

package:
	@scripts/install-deps package
	@$(MAKE) build
	@scripts/package $(BUILD)

clean:
	@rm -rf $(BUILD) $(TEST_BUILD) $(ASAN_BUILD)
