# The two commands a user needs: `make run` and `make test`. Both install what is missing.
# `make deb` builds the Debian package into $(BUILD_DIR).
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
ARGS ?=

.PHONY: all deps configure build run test bench deb clean

all: build

deps:
	@scripts/install-deps

configure:
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR)

# Without a display, a plain `make run` runs the window headless for three seconds: its
# picture goes into the build folder, never into a shared one.
ifeq ($(DISPLAY)$(WAYLAND_DISPLAY)$(ARGS),)
RUN_ARGS = --screenshot $(BUILD_DIR)/screenshot.png
endif

run: deps build
	$(BUILD_DIR)/osciloskop $(RUN_ARGS) $(ARGS)

test: deps build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

bench: build
	@for program in $(BUILD_DIR)/bench/*_bench; do echo "== $$program"; $$program; done

# The package's own build skips the tests (nocheck): `make test` runs them in this tree, and
# building and running them a second time for the package would double the build's time.
# Without nocheck, dpkg-buildpackage -us -uc -b builds and runs them before packaging.
deb: deps
	@mkdir -p $(BUILD_DIR)
	DEB_BUILD_OPTIONS="nocheck $(DEB_BUILD_OPTIONS)" OSCILOSKOP_DEB_DIR=$(abspath $(BUILD_DIR)) \
	  dpkg-buildpackage -us -uc -b -Jauto -Pnocheck \
	  --buildinfo-option=-u$(abspath $(BUILD_DIR)) --changes-option=-u$(abspath $(BUILD_DIR)) \
	  --buildinfo-file=$(abspath $(BUILD_DIR))/osciloskop.buildinfo \
	  --changes-file=$(abspath $(BUILD_DIR))/osciloskop.changes
	@echo "package: $(BUILD_DIR)/osciloskop_$$(dpkg-parsechangelog -SVersion)_$$(dpkg --print-architecture).deb"

clean:
	rm -rf $(BUILD_DIR)
