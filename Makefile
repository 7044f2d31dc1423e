# Zafrel: the two everyday commands are `make run` and `make test`; both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
MAKEFLAGS  += --no-print-directory

.PHONY: run test build bench format deps package clean

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)/zafrel

test: deps
	@scripts/test $(BUILD) $(ASAN_BUILD)

bench: build
	@$(BUILD)/bench/zafrel_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD)
