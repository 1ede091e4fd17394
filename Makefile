# make        builds the shipped 32-bit executable and the 64-bit test build
# make test   sets up what is missing, builds, and runs every test
# make bench  prints the benchmark figures
# make demo   sets up, builds, and runs the whole wizard under Wine against local demo servers

ROOT := $(CURDIR)
BUILD := $(ROOT)/build
WIN32_DIR := $(BUILD)/win32
WIN64_DIR := $(BUILD)/win64
SHIPPED := $(WIN32_DIR)/QRXDownloadManager.exe
# The signed executable with its pages appended, as it ships.
DIST := $(ROOT)/dist/QRXDownloadManager.exe
NODE_STAMP := $(ROOT)/node_modules/.package-lock.json
GENERATOR := -G Ninja

.PHONY: all win32 win64 test setup bench demo clean

all: win32 win64

$(WIN32_DIR)/build.ninja:
	cmake -S $(ROOT) -B $(WIN32_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-i686.cmake

$(WIN64_DIR)/build.ninja:
	cmake -S $(ROOT) -B $(WIN64_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-x86_64.cmake -DQRX_BUILD_TESTS=ON \
	  -DQRX_REPORT_HOST=127.0.0.1 -DQRX_LICENSE_HOST=127.0.0.2 -DQRX_SHIPPED_EXE=$(SHIPPED)

# jQuery for the pages and the page-test tools, pinned in package-lock.json.
$(NODE_STAMP): $(ROOT)/package-lock.json
	cd $(ROOT) && npm ci --no-audit --no-fund --loglevel=error

win32: $(WIN32_DIR)/build.ninja $(NODE_STAMP)
	cmake --build $(WIN32_DIR) --target QRXDownloadManager qrx_dist
	@scripts/exe-report $(SHIPPED)
	@mkdir -p $(dir $(DIST)) && cp $(WIN32_DIR)/dist/QRXDownloadManager.exe $(DIST)
	@echo "dist: $(DIST) $$(stat -c %s $(DIST)) bytes"

win64: $(WIN64_DIR)/build.ninja win32 $(NODE_STAMP)
	cmake --build $(WIN64_DIR)
	@scripts/exe-report $(WIN64_DIR)/QRXDownloadManager.exe

setup:
	@scripts/setup

test: setup
	$(MAKE) all
	scripts/run-tests $(WIN64_DIR)

demo: setup
	$(MAKE) all
	python3 tools/demo/run_demo.py --build $(WIN64_DIR)

bench: all
	@tests/bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(ROOT)/dist
