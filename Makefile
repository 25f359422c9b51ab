# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Two entry points: `make run` starts quorvik, `make test` runs the whole test suite.
# Both install what is missing, configure and build into build/ first.

BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure build run test test-asan test-tsan fuzz clean format deb deb-check

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/quorvik $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package build/quorvik_<version>_<arch>.deb.
deb: build
	cmake --build $(BUILD) --target package

# The package checked: lintian, and as root a real install, run and removal.
deb-check: build
	scripts/check-package.sh $(BUILD)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIK_SANITIZE=ON \
	  -DCMAKE_CXX_COMPILER=clang++
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  ctest --output-on-failure -j $(JOBS) -LE slow

# The receiver thread's test under ThreadSanitizer (clang); only that target
# is built, so it stays quick.
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIK_TSAN=ON \
	  -DCMAKE_CXX_COMPILER=clang++
	cmake --build build-tsan -j $(JOBS) --target intake_datagram_receiver_test
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/intake/tsan.supp" \
	  setarch -R ctest --output-on-failure -L receiver

# Each fuzz target for FUZZ_SECONDS seconds.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIK_FUZZ=ON \
	  -DQUORVIK_GUI=OFF -DQUORVIK_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
