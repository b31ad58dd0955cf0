# Thin front door over CMake. `make check` and `make demo` are the two commands a newcomer needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
RELEASE ?= build-release
WINBUILD ?= build-win
FUZZBUILD ?= build-fuzz
# Seconds each fuzz target runs: `make fuzz`, and the short runs inside `make check`.
FUZZ_SECONDS ?= 60
FUZZ_CHECK_SECONDS ?= 5
# The soak: Load and Save cycles against the simulated repeater with random faults.
SOAK_CYCLES ?= 3000
SOAK_WORKERS ?= 8

# Debian packages the build, the tests and the demo need. The Windows side: the MinGW-w64 cross
# compiler (its posix flavour), GoogleTest's sources to cross-compile, and Wine (wine64 and the
# small wine package that adds /usr/bin/wine) with socat to run the Windows tests; the Win32
# window's tests and picture need a virtual display (xvfb), xdotool and imagemagick, and the Qt
# window's first-click test xvfb-run, which needs xauth (only recommended by xvfb). dpkg-dev has
# dpkg-shlibdeps, which `make package` uses to find the packages' run-time dependencies (with
# file, which CPack runs on every packaged file). relaycfg parses its command line with CLI11 and
# site plans with toml++ (both header-only). The manual pages are written in scdoc. The packaging
# checks: lintian (the Debian packages), bash-completion (relaycfg's completion runs on its
# functions), desktop-file-utils and appstream (the desktop entry and the AppStream metadata),
# icoutils (wrestool reads relaytool.exe's manifest back). The driver rig boots Debian's kernel
# with busybox in QEMU and packs the guest with cpio.
DEB_PACKAGES := g++ make cmake pkg-config libgtest-dev libgmock-dev googletest qt6-base-dev \
                g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix fonts-wine wine64 wine socat clang libclang-rt-14-dev \
                xvfb xauth xdotool imagemagick dpkg-dev file libcli11-dev libtomlplusplus-dev scdoc \
                lintian bash-completion desktop-file-utils appstream icoutils \
                qemu-system-x86 linux-image-amd64 busybox-static cpio

CMAKE_COMMON := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: all deps build release win check test drivers demo bench screenshot package package-check clean \
        fuzz-build fuzz fuzz-check soak

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

# The test build: sanitizers on, warnings are errors, the benchmarks built too so that they keep
# compiling (the tests bring the simulated repeater).
$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DRELAY_SANITIZE=ON \
	  -DRELAY_WERROR=ON -DRELAY_BENCH=ON

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The optimised build used by the demo, the benchmarks and the package: the product alone; the
# targets that need the simulated repeater or the benchmarks turn them on (RELEASE_OPTIONS).
$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DRELAY_TESTS=OFF

release: $(RELEASE)/CMakeCache.txt
	$(if $(RELEASE_OPTIONS),cmake -S . -B $(RELEASE) $(RELEASE_OPTIONS) >/dev/null)
	cmake --build $(RELEASE) -j $(JOBS)

# The Windows side, cross-built with MinGW-w64: maillink.dll, relaycfg.exe, the native window
# relaytool.exe and the tests, in $(WINBUILD)/bin, and $(WINBUILD)/relaytool-<version>-win64.zip.
# Its tests run under Wine against the simulator of the Linux build.
$(WINBUILD)/CMakeCache.txt:
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DRELAY_GUI=OFF -DRELAY_WERROR=ON -DRELAY_NATIVE_BUILD_DIR=$(abspath $(BUILD))

win: $(WINBUILD)/CMakeCache.txt
	cmake --build $(WINBUILD) -j $(JOBS)

test: build win
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(WINBUILD) && ctest --output-on-failure -V

check: deps
	$(MAKE) test
	$(MAKE) package-check
	$(MAKE) fuzz-check
	$(MAKE) drivers

# The driver rig (tests/drivers): the optimised relaycfg and libmaillink inside a QEMU guest on
# Debian's kernel, over its real USB-serial (ftdi_sio) and 16550 (8250) drivers, with the
# simulated repeater on the host side of both lines. One boot of about a minute; only the
# programs it needs are built. Needs root: Debian's kernel image is readable by root only.
drivers: deps $(RELEASE)/CMakeCache.txt
	cmake -S . -B $(RELEASE) -DRELAY_DRIVER_RIG=ON >/dev/null
	cmake --build $(RELEASE) -j $(JOBS) --target drivers_rig_programs
	cd $(RELEASE) && ctest -L drivers --output-on-failure

# The window against a simulated repeater (tools/demo.sh). Without a display it says how to get
# one before anything is built.
demo:
	@tools/demo.sh --check-display
	@$(MAKE) --no-print-directory deps release RELEASE_OPTIONS=-DRELAY_TOOLS=ON
	tools/demo.sh $(RELEASE)

bench: deps
	@$(MAKE) --no-print-directory release RELEASE_OPTIONS=-DRELAY_BENCH=ON
	$(RELEASE)/bench/transfer_bench
	$(RELEASE)/bench/station_bench

# The fuzz targets: clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, in a
# build of their own that holds nothing else.
$(FUZZBUILD)/CMakeCache.txt:
	cmake -S . -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRELAY_FUZZ=ON -DRELAY_WERROR=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

fuzz-build: $(FUZZBUILD)/CMakeCache.txt
	cmake --build $(FUZZBUILD) -j $(JOBS)

fuzz: deps fuzz-build
	tests/fuzz/run_fuzzers.sh $(FUZZBUILD) $(FUZZ_SECONDS)

fuzz-check: fuzz-build
	tests/fuzz/run_fuzzers.sh $(FUZZBUILD) $(FUZZ_CHECK_SECONDS)

# Thousands of Load and Save cycles with random faults (not part of `make check`).
soak: deps
	@$(MAKE) --no-print-directory release RELEASE_OPTIONS=-DRELAY_BENCH=ON
	$(RELEASE)/bench/soak_run --cycles $(SOAK_CYCLES) --workers $(SOAK_WORKERS)

# Pictures of the window as it looks after start-up and after a Load from the simulated sample
# repeater (offscreen: no display needed), with private port directories so that the machine's
# own ports do not show; and of the Win32 window under Wine on a virtual display after a Load.
screenshot: deps
	@$(MAKE) --no-print-directory release RELEASE_OPTIONS=-DRELAY_TOOLS=ON
	@mkdir -p docs
	@ports=$$(mktemp -d); \
	  MAILLINK_DEVICE_DIR=$$ports QT_QPA_PLATFORM=offscreen \
	    $(RELEASE)/tools/window_screenshot/relaytool_screenshot docs/screenshot.png; rc=$$?; \
	  rmdir $$ports; [ $$rc -eq 0 ] && echo "screenshot: wrote docs/screenshot.png"; exit $$rc
	QT_QPA_PLATFORM=offscreen $(RELEASE)/tools/window_screenshot/relaytool_screenshot --loaded docs/screenshot-loaded.png
	@echo "screenshot: wrote docs/screenshot-loaded.png (after a Load from the sample repeater)"
	$(MAKE) --no-print-directory win
	tests/wine/screenshot-window.sh $(WINBUILD) $(RELEASE) docs/screenshot-windows.png

# The Debian packages (CPack) of the release build: libmaillink1, libmaillink-dev and relaytool
# (cmake/packaging.cmake says what each holds).
package: deps release
	rm -f $(RELEASE)/*.deb
	cd $(RELEASE) && cpack -G DEB
	@ls -1 $(RELEASE)/*.deb

# The packages as lintian sees them (no error, no warning) and what each holds.
package-check: package
	tests/packaging/check_packages.sh $(RELEASE)

clean:
	rm -rf $(BUILD) $(RELEASE) $(WINBUILD) $(FUZZBUILD)
