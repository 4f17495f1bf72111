# Two entry points for people: `make run` and `make test`. Both install the
# Debian packages they need first, so a fresh machine needs nothing by hand.

SHELL := /bin/bash
, := ,
JOBS ?= $(shell nproc)
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

DEBIAN_PACKAGES := cmake make g++ pkg-config juce-modules-source libgtest-dev libgmock-dev \
                   libbenchmark-dev xvfb xauth xdotool x11-utils imagemagick time python3
FUZZ_PACKAGES := clang libclang-rt-14-dev

# Runs a command under a virtual X display when there is no display.
WITH_DISPLAY = $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")

CTEST = cd $(1) && $(WITH_DISPLAY) ctest --output-on-failure -j$(JOBS) $(2)

.PHONY: run test deps build test-asan test-tsan fuzz bench clean

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
	$(call CTEST,build-tsan,-L 'serial|link')

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench build-windows
