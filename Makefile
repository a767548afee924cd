# The targets behind the README's `./setup run` and `./setup test`, and developer targets.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= 2
TEST_ENV = QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

FUZZ_SECONDS ?= 30
KEPT_FUZZ_SECONDS ?= 10
FUZZ_STATISTICS_SECONDS ?= 10

.PHONY: all deps configure build run test asan fuzz bench package clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(TYPE)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/orbelix

test: build
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j$(JOBS)

# The same suite with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORBELIX_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && $(TEST_ENV) ctest --output-on-failure -j$(JOBS)

# The settings fuzz target under libFuzzer for FUZZ_SECONDS (30 s by default), then the
# kept game's reader for KEPT_FUZZ_SECONDS (10 s) and the statistics reader for
# FUZZ_STATISTICS_SECONDS (10 s).
fuzz: deps
	@tools/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELIX_FUZZ=ON -DORBELIX_TESTS=OFF
	cmake --build build-fuzz -j$(JOBS) --target fuzz_settings fuzz_kept_game fuzz_statistics
	mkdir -p build-fuzz/corpus && cp -n tests/fuzz/corpus/* build-fuzz/corpus/
	cd build-fuzz && $(TEST_ENV) ./tests/fuzz/fuzz_settings -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 corpus
	mkdir -p build-fuzz/corpus-kept && cp -n tests/fuzz/corpus-kept/* build-fuzz/corpus-kept/
	cd build-fuzz && ./tests/fuzz/fuzz_kept_game -max_total_time=$(KEPT_FUZZ_SECONDS) -timeout=10 -print_final_stats=1 corpus-kept
	mkdir -p build-fuzz/corpus-statistics && cp -n tests/fuzz/corpus-statistics/* build-fuzz/corpus-statistics/
	cd build-fuzz && $(TEST_ENV) ./tests/fuzz/fuzz_statistics -max_total_time=$(FUZZ_STATISTICS_SECONDS) -timeout=10 -print_final_stats=1 corpus-statistics

bench:
	@tools/install-deps.sh bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j$(JOBS)
	/usr/bin/python3 bench/measure.py build-bench

# A Debian package of a Release build installed under /usr.
package: deps
	@tools/install-deps.sh package
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DORBELIX_INSTALL_GAMES=ON -DORBELIX_TESTS=OFF
	cmake --build build-package -j$(JOBS)
	cd build-package && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-bench build-package build-fuzz
