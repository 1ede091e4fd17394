# make        builds the shipped 32-bit executable and the 64-bit test build
# make test   sets up what is missing, builds, and runs every test
# make bench  prints the benchmark figures

ROOT := $(CURDIR)
BUILD := $(ROOT)/build
WIN32_DIR := $(BUILD)/win32
WIN64_DIR := $(BUILD)/win64
SHIPPED := $(WIN32_DIR)/QRXDownloadManager.exe
GENERATOR := -G Ninja

.PHONY: all win32 win64 test setup bench clean

all: win32 win64

$(WIN32_DIR)/build.ninja:
	cmake -S $(ROOT) -B $(WIN32_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-i686.cmake

$(WIN64_DIR)/build.ninja:
	cmake -S $(ROOT) -B $(WIN64_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-x86_64.cmake -DQRX_BUILD_TESTS=ON \
	  -DQRX_REPORT_HOST=127.0.0.1 -DQRX_LICENSE_HOST=127.0.0.2 -DQRX_SHIPPED_EXE=$(SHIPPED)

win32: $(WIN32_DIR)/build.ninja
	cmake --build $(WIN32_DIR) --target QRXDownloadManager
	@scripts/exe-report $(SHIPPED)

win64: $(WIN64_DIR)/build.ninja win32
	cmake --build $(WIN64_DIR)

setup:
	@scripts/setup

test: setup
	$(MAKE) all
	scripts/run-tests $(WIN64_DIR)

bench: all
	@echo "bench: exe_size $$(stat -c %s $(SHIPPED)) B"
	@tests/zip/bench/run $(BUILD)

clean:
	rm -rf $(BUILD)
