# Thin front door over CMake. `make check` and `make demo` are the two commands a newcomer needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
RELEASE ?= build-release
WINBUILD ?= build-win

# Debian packages the build, the tests and the demo need.
DEB_PACKAGES := g++ make cmake pkg-config libgtest-dev libgmock-dev qt6-base-dev \
                g++-mingw-w64-x86-64 fonts-wine

CMAKE_COMMON := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: all deps build release win check test demo bench screenshot package clean

all: build

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -z "$$missing" ]; then echo "deps: all packages present"; exit 0; fi; \
	if [ "$$(id -u)" -ne 0 ]; then \
	  echo "deps: missing packages:" $$missing; \
	  echo "deps: run as root: apt-get update && apt-get install -y --no-install-recommends" $$missing; \
	  exit 1; \
	fi; \
	echo "deps: installing" $$missing; \
	apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing

# The test build: sanitizers on, warnings are errors.
$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DRELAY_SANITIZE=ON

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The optimised build used by the demo and the benchmarks.
$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF

release: $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

# The Windows side, cross-built with MinGW-w64.
$(WINBUILD)/CMakeCache.txt:
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release

win: $(WINBUILD)/CMakeCache.txt
	cmake --build $(WINBUILD) -j $(JOBS)

test: build win
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(WINBUILD) && ctest --output-on-failure

check: deps
	$(MAKE) test

demo: deps release
	tools/demo.sh $(RELEASE)

bench: deps release
	$(RELEASE)/bench/transfer_bench

# A picture of the window as it looks after start-up (offscreen: no display needed), with an
# empty private port directory so that the machine's own ports do not show.
screenshot: deps release
	@mkdir -p docs
	@ports=$$(mktemp -d); \
	  MAILLINK_DEVICE_DIR=$$ports QT_QPA_PLATFORM=offscreen \
	    $(RELEASE)/relaytool/window/relaytool_screenshot docs/screenshot.png; rc=$$?; \
	  rmdir $$ports; [ $$rc -eq 0 ] && echo "screenshot: wrote docs/screenshot.png"; exit $$rc

# A Debian package (CPack) of relaytool, relaycfg, libmaillink, the desktop entry and the icon.
package: deps release
	cd $(RELEASE) && cpack -G DEB
	@ls -1 $(RELEASE)/*.deb

clean:
	rm -rf $(BUILD) $(RELEASE) $(WINBUILD)
