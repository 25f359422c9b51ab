# SPDX-FileCopyrightText: 2026 The Quorvik developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Two entry points: `make run` starts quorvik, `make test` runs the whole test suite.
# Both install what is missing, configure and build into build/ first.

BUILD ?= build
JOBS  ?= $(shell nproc)
# Warnings as errors: .ci/run sets WERROR=ON for every build it makes; a
# user's build only warns.
WERROR ?= OFF

.PHONY: all deps configure build run test test-asan test-tsan fuzz tidy clean format deb deb-check

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIK_WERROR=$(WERROR)

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
	  -DCMAKE_CXX_COMPILER=clang++ -DQUORVIK_WERROR=$(WERROR)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  ctest --output-on-failure -j $(JOBS) -LE slow

# The tests of the parts shared between threads (the receiver thread, the
# SNMP decoder, the forwarder: CTest label tsan) under ThreadSanitizer (clang); only their
# targets are built, so it stays quick.
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIK_TSAN=ON \
	  -DCMAKE_CXX_COMPILER=clang++ -DQUORVIK_WERROR=$(WERROR)
	cmake --build build-tsan -j $(JOBS) --target tsan_tests
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  setarch -R ctest --output-on-failure -L tsan

# Each fuzz target for FUZZ_SECONDS seconds.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIK_FUZZ=ON \
	  -DQUORVIK_GUI=OFF -DQUORVIK_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++ -DQUORVIK_WERROR=$(WERROR)
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# The checks of .clang-tidy over core/ and events/ (their sources in the
# build's compile_commands.json); any finding fails. The whole tree takes
# about 35 minutes on two busy cores, these two rooms 3; TIDY_FILES (a
# regular expression of paths) widens it.
TIDY_FILES ?= $(CURDIR)/(core|events)/.*\.cpp$$
tidy: build
	run-clang-tidy -quiet -p $(BUILD) -j $(JOBS) '$(TIDY_FILES)'

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
