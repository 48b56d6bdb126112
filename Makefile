# Entry points for people and CI. Every target installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
# Optimised without debug information, which takes a third of the compile time;
# BUILD_TYPE=RelWithDebInfo for a debugger.
BUILD_TYPE ?= Release

.PHONY: all deps build test demo bench bench-peers package install format clean

all: build

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
	  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG"
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2 --timeout 300

demo: build
	scripts/demo.sh $(BUILD)/bin

bench: build
	$(BUILD)/bin/bench_engine
	$(BUILD)/bin/bench_transport
	$(BUILD)/bin/bench_app
	$(BUILD)/bin/bench_cli_links
	$(BUILD)/bin/bench_automation
	$(BUILD)/bin/bench_locate
	$(BUILD)/bin/bench_ops
	$(BUILD)/bin/bench_cli
	$(BUILD)/bin/bench_window_memory
	$(BUILD)/bin/bench_serve

# The same operations through Puppeteer and Playwright (pinned npm dev dependencies, never
# a downloaded browser) on the system Chromium, in the same run, side by side.
bench-peers: build
	scripts/install-deps.sh --peers
	$(BUILD)/bin/bench_locate --peers
	$(BUILD)/bin/bench_ops --peers
	$(BUILD)/bin/bench_automation --peers

# A .deb of the installed tree (build/qirlen_<version>_amd64.deb): dpkg -i it.
package: build
	cd $(BUILD) && cpack -G DEB

# Installs under PREFIX (default /usr/local); DESTDIR works as usual.
install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

format:
	find app hostctl automation locate ops engine platform sdk include examples tests bench \
	  \( -name '*.cc' -o -name '*.h' \) -print0 | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD)
