# Two entry points for people: `make run` and `make test`. Both install the
# Debian packages they need first, so a fresh machine needs nothing by hand.

SHELL := /bin/bash
, := ,
JOBS ?= $(shell nproc)
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

DEBIAN_PACKAGES := cmake make g++ pkg-config juce-modules-source libgtest-dev libgmock-dev \
                   libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick time python3 \
                   fusefat dosfstools
FUZZ_PACKAGES := clang libclang-rt-14-dev

# Runs a command under a virtual X display when there is no display.
WITH_DISPLAY = $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")

CTEST = cd $(1) && $(WITH_DISPLAY) ctest --output-on-failure -j$(JOBS) $(2)

.PHONY: run test deps build test-asan test-tsan fuzz bench clean windows test-windows

define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEBIAN_PACKAGES))

# $(1): build folder, $(2): build type, $(3): extra compiler flags
define configure_and_build
	cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=$(2) \
	  -DCMAKE_CXX_FLAGS="$(3)" -DCMAKE_C_FLAGS="$(3)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(3)" $(4) >/dev/null
	cmake --build $(1) -j$(JOBS)
endef

build: deps
	$(call configure_and_build,$(BUILD),RelWithDebInfo,)

run: build
	./$(BUILD)/QuorvelInitFileMaker_artefacts/RelWithDebInfo/quorvel-init-file-maker

test: build
	$(call CTEST,$(BUILD),)

test-asan: deps
	$(call configure_and_build,build-asan,Debug,-fsanitize=address$(,)undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
	$(call CTEST,build-asan,)

test-tsan: deps
	$(call configure_and_build,build-tsan,Debug,-fsanitize=thread -fno-omit-frame-pointer)
	$(call CTEST,build-tsan,-R '^(serial|link)\.|^gui\.TestLink')

# libFuzzer over the init-file load path, everything built with ASan and UBSan;
# runs FUZZ_SECONDS from a copy of the seed corpus, which stays as committed.
FUZZ_SECONDS ?= 30
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUORVEL_BUILD_FUZZERS=ON -DQUORVEL_BUILD_TESTS=OFF \
	  -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" >/dev/null
	cmake --build build-fuzz -j$(JOBS) --target fuzz_init_file_load
	rm -rf build-fuzz/corpus && cp -r fuzz/corpus build-fuzz/corpus
	build-fuzz/fuzz/fuzz_init_file_load -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -timeout=10 build-fuzz/corpus

# The Google Benchmark programs of bench/, built optimised into build-bench
# and run one after another under a display; then bench/startup times the
# program's start.
BENCHMARKS := $(patsubst bench/%.cpp,bench_%,$(wildcard bench/*.cpp))

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_BENCHMARKS=ON >/dev/null
	cmake --build build-bench -j$(JOBS) --target QuorvelInitFileMaker $(BENCHMARKS)
	for b in $(BENCHMARKS); do $(WITH_DISPLAY) build-bench/bench/$$b || exit 1; done
	bench/startup build-bench/QuorvelInitFileMaker_artefacts/Release/quorvel-init-file-maker

# The 64-bit Windows program, cross-built with MinGW-w64; its tests run under
# wine. The image libraries JUCE needs are built once into $(WINDOWS_DEPS),
# which `make clean` keeps.
WINDOWS_BUILD := build-windows
WINDOWS_DEPS := build-windows-deps
WINDOWS_PACKAGES := cmake make juce-modules-source googletest g++-mingw-w64-x86-64-posix \
                    libz-mingw-w64-dev dpkg-dev wine wine64 xvfb xauth xdotool python3

windows:
	$(call install_missing,$(WINDOWS_PACKAGES))
	tools/build-windows-deps.sh $(WINDOWS_DEPS)
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WINDOWS_DEPS=$(CURDIR)/$(WINDOWS_DEPS) >/dev/null
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target QuorvelInitFileMaker
	@echo "Windows program: $(WINDOWS_BUILD)/QuorvelInitFileMaker_artefacts/Release/quorvel-init-file-maker.exe"

test-windows: windows
	cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target windows_tests
	$(WITH_DISPLAY) tools/wine-ctest.sh $(WINDOWS_BUILD) --output-on-failure -j$(JOBS) \
	  -R '^(editor|link|serial|windows)\.'

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench build-windows
