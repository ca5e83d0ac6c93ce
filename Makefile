# make test       installs what is missing, builds both configurations, runs every test
# make demo       runs the main job on the sample installation
# make installer  builds the Windows installer, $(BUILD)/windows/bin/NorvexSetup.exe (needs
#                 UPDATE_PUBLIC_KEY, or UNSIGNED_UPDATES=1; SIGN_CERT=… SIGN_KEY=… sign it)
# make screenshots  takes the README's pictures (docs/images) with NorvexHost.exe under Wine and
#                   the extension's in headless chromium
# make browser-demo starts chromium with the extension and the bridge on the sample installation
BUILD ?= build
NATIVE := $(BUILD)/native
WINDOWS := $(BUILD)/windows
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The catalogue that the installer carries: a folder with AgentMaster.xml and Agents (and, where
# it has them, strings.ini, version.ini, norvexOEM.ini, LogUrls.ini; the sample's otherwise).
CATALOGUE ?= sample/install
# The update server and the manifests' signing key built into the service: make native
# UPDATE_URL=https://updates.example.com UPDATE_PUBLIC_KEY=/path/to/pub.pem (kept in the build
# folder's cache for later builds; UPDATE_PUBLIC_KEY= with nothing removes the key).
SERVICE_FLAGS = $(if $(filter undefined,$(origin UPDATE_URL)),,-DNORVEX_UPDATE_URL=$(UPDATE_URL)) \
  $(if $(filter undefined,$(origin UPDATE_PUBLIC_KEY)),,-DNORVEX_UPDATE_PUBLIC_KEY=$(if $(UPDATE_PUBLIC_KEY),$(abspath $(UPDATE_PUBLIC_KEY))))
WINDOWS_FLAGS = -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
  -DNORVEX_CATALOGUE=$(abspath $(CATALOGUE))
# The installer: its service must check signed manifests (UPDATE_PUBLIC_KEY, now or kept from an
# earlier build), unless the distributor takes the risk with UNSIGNED_UPDATES=1 (given each time).
# SIGN_CERT=cert.pem SIGN_KEY=key.pem (kept like the key; SIGN_CERT= SIGN_KEY= stop signing) sign
# the programs and the installer, SIGN_TIMESTAMP=http://… has the signatures time-stamped.
cache_path = $(if $(filter undefined,$(origin $(1))),,-D$(2)=$(if $($(1)),$(abspath $($(1)))))
INSTALLER_FLAGS = -DNORVEX_UNSIGNED_UPDATES=$(if $(filter 1,$(UNSIGNED_UPDATES)),ON,OFF) \
  $(call cache_path,SIGN_CERT,NORVEX_SIGN_CERT) $(call cache_path,SIGN_KEY,NORVEX_SIGN_KEY) \
  $(if $(filter undefined,$(origin SIGN_TIMESTAMP)),,-DNORVEX_SIGN_TIMESTAMP=$(SIGN_TIMESTAMP))

.PHONY: all deps native windows windows-host installer screenshots test test-native test-windows fuzz demo bench bench-service clean browser browser-demo extension-package

all: native windows

deps:
	@bash scripts/install-deps.sh

native: deps
	cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake --build $(NATIVE)

windows: deps
	cmake -S . -B $(WINDOWS) $(CMAKE_FLAGS) $(WINDOWS_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake --build $(WINDOWS)

# The installer alone, with what it carries (makensis from Debian's nsis package, osslsigncode
# to sign).
installer: deps
	cmake -S . -B $(WINDOWS) $(CMAKE_FLAGS) $(WINDOWS_FLAGS) $(SERVICE_FLAGS) $(INSTALLER_FLAGS) >/dev/null
	cmake --build $(WINDOWS) --target NorvexSetup

FUZZ := $(BUILD)/fuzz
FUZZ_SECONDS ?= 20

test: test-native test-windows fuzz

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure

test-windows: windows
	bash scripts/with-wine.sh $(WINDOWS) ctest --test-dir $(WINDOWS) --output-on-failure

# Each fuzz target runs for FUZZ_SECONDS from its corpus; a crash fails the target.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) $(CMAKE_FLAGS) -DNORVEX_FUZZ=ON >/dev/null
	cmake --build $(FUZZ)
	bash scripts/run-fuzzers.sh $(FUZZ) $(FUZZ_SECONDS)

# The toolbar module and the host that loads it (and the Wine sessions' desktop holder), nothing
# else of the Windows build.
windows-host: deps
	cmake -S . -B $(WINDOWS) $(CMAKE_FLAGS) $(WINDOWS_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake --build $(WINDOWS) --target NorvexToolbar NorvexHost wine_desktop_holder

# The pictures of the README, from the sample installation (scripts/screenshots.in), then the
# extension's in headless chromium (browser/tests/screenshots.mjs).
screenshots: windows-host browser
	bash scripts/take-screenshots.sh $(WINDOWS) docs/images
	node browser/tests/screenshots.mjs $(NATIVE) docs/images

# What the extension needs of the native build: the bridge, the generated matching table, and
# the tools its tests compare with.
browser: deps
	cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake --build $(NATIVE) --target norvex-bridge fold_table page_matches norvex-host page_bench

# Debian's chromium with a temporary profile, the extension (unpacked) and the bridge registered
# for the sample installation; it needs a display.
browser-demo: browser
	bash scripts/browser-demo.sh $(NATIVE)

# The store package: the extension without its `key` (the store keeps the key), as a zip.
extension-package: browser
	bash scripts/package-extension.sh $(BUILD)/extension

# The demo builds only the programs it runs: the two native tools, then the toolbar module and
# NorvexHost.exe, which plays a session under Wine and takes pictures.
demo: deps windows-host
	cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake --build $(NATIVE) --target norvex-inspect norvex-host
	bash scripts/demo.sh $(NATIVE) $(WINDOWS)

# Speed goals, measured (not run by make test): the history load and write-back natively; the toolbar build
# natively and in the Windows build under Wine (MSXML and real windows' text metrics aside, the
# same code); highlighting, removing and find-next on a 2 MB page of our page model; the bridge's
# first answer to the browser, natively and as NorvexBridge.exe under Wine; the extension in
# chromium (toolbar drawn from the cache, highlighting the 2 MB page).
bench: native windows
	$(NATIVE)/bin/history_bench 50
	$(NATIVE)/bin/toolbar_bench 30
	bash scripts/with-wine.sh $(WINDOWS) /usr/lib/wine/wine64 $(WINDOWS)/bin/toolbar_bench.exe 10
	$(NATIVE)/bin/page_bench 5
	python3 bridge/bench/first_answer.py --program $(NATIVE)/bin/norvex-bridge \
	  --writer $(NATIVE)/bin/write_bench_catalogue --source .
	bash scripts/with-wine.sh $(WINDOWS) python3 bridge/bench/first_answer.py \
	  --program $(WINDOWS)/bin/NorvexBridge.exe --emulator /usr/lib/wine/wine64 \
	  --writer $(NATIVE)/bin/write_bench_catalogue --source .
	node browser/bench/bench.mjs $(NATIVE)

# The update service: a 512 MiB module over loopback against curl, and its unpacking against
# unzip (needs about 1.5 GiB of free space in /tmp).
bench-service: native
	python3 service/bench/run_benchmarks.py $(NATIVE)/bin 512

# The style of the lines changed since the branch left main, checked and not changed: their
# format (clang-format) and their names (clang-tidy) in both builds' compile commands.
.PHONY: lint
lint: deps
	cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) $(SERVICE_FLAGS) >/dev/null
	cmake -S . -B $(WINDOWS) $(CMAKE_FLAGS) $(WINDOWS_FLAGS) $(SERVICE_FLAGS) >/dev/null
	bash scripts/lint.sh $(NATIVE) $(WINDOWS)

clean:
	rm -rf $(BUILD)
