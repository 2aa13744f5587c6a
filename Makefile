# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD    ?= build
ASAN     ?= build-asan
TUNEX_BASE ?= $(HOME)/.local/share/tunex
CMAKE_FLAGS ?=

.PHONY: bootstrap build run test asan bench install format clean

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

bench: bootstrap
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNEX_BUILD_TESTS=OFF
	cmake --build build-release -j2 --target tunex-bench
	build-release/bench/tunex-bench all

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN) build-release
