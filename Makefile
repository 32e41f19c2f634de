# The two commands a user needs: `make run` and `make test`. Both install what is missing.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
ARGS ?=

.PHONY: all deps configure build run test bench clean

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

clean:
	rm -rf $(BUILD_DIR)
