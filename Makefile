# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD    ?= build
ASAN     ?= build-asan
TUNEX_BASE ?= $(HOME)/.local/share/tunex
CMAKE_FLAGS ?=

.PHONY: bootstrap build run test asan bench fuzz reliability install format lint clean

bootstrap:
	@scripts/bootstrap.sh

build: bootstrap
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j2

# Lays down a base folder when there is none yet (never overwriting one) and starts Tunex in it.
run: build
	scripts/lay-down-base.sh "$(TUNEX_BASE)" data/base
	cd "$(TUNEX_BASE)" && exec "$(CURDIR)/$(BUILD)/src/gui/tunex"

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNEX_SANITIZE=ON -DTUNEX_BUILD_BENCH=OFF
	cmake --build $(ASAN) -j2
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2

# Kill, full-disk and read-only trials on tunex-cli, and the malformed-mp3 run under ASan.
reliability: bootstrap
	scripts/fault-injection.sh

bench: bootstrap
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEX_BUILD_TESTS=OFF
	cmake --build build-release -j2 --target tunex-bench
	build-release/bench/tunex-bench all

# Every fuzz target for a minute each, in a clang build of its own.
fuzz: bootstrap
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEX_FUZZ=ON -DTUNEX_BUILD_TESTS=OFF -DTUNEX_BUILD_BENCH=OFF
	cmake --build build-fuzz -j2 --target tunex_fuzz
	fuzz/run.sh 60

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# clang-tidy with the checks of .clang-tidy over src/; fails on any finding.
lint: bootstrap
	scripts/lint.sh

clean:
	rm -rf $(BUILD) $(ASAN) build-release
