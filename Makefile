# The two set-up commands of the README: `make run` and `make test`.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= 2
TEST_ENV = QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

.PHONY: all deps configure build run test asan bench package clean

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

bench:
	@tools/install-deps.sh bench
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j$(JOBS)
	/usr/bin/python3 bench/measure.py build-bench

# A Debian package of a Release build installed under /usr.
package: deps
	@tools/install-deps.sh package
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DORBELIX_TESTS=OFF
	cmake --build build-package -j$(JOBS)
	cd build-package && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-bench build-package build-fuzz
