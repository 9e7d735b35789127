# Varnel: thin wrapper over CMake.
#   make test   builds the host and Windows configurations and runs every test
#   make run    builds the agent and runs it under Wine (Ctrl-C stops it)
#   make bench  builds and runs the benchmarks
#   make fuzz   runs every fuzz target for FUZZ_SECONDS and sums up executions per target
#   make fuzz-long  runs every fuzz target (or FUZZ_TARGETS) for FUZZ_RUNS executions, FUZZ_JOBS at a time
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
FUZZ_RUNS ?= 1000000
FUZZ_JOBS ?= 1
FUZZ_TARGETS ?=
CMAKE_GEN := -G Ninja
# ccache, when installed, shares compiled objects between build folders and
# work trees (paths are made relative to the checkout so they hash alike).
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_GEN += -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
endif

HOST_DIR  := $(BUILD)/host
WIN_DIR   := $(BUILD)/win
FUZZ_DIR  := $(BUILD)/fuzz
BENCH_DIR := $(BUILD)/bench
TEST_PREFIX := $(abspath $(BUILD))/wineprefix

.PHONY: all setup host win fuzz-build bench-build test run bench fuzz fuzz-long clean

all: host win

setup:
	@scripts/setup.sh

host: setup
	@cmake -S . -B $(HOST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	    -DVARNEL_SANITIZE=ON -DVARNEL_WERROR=ON >/dev/null
	@cmake --build $(HOST_DIR) -j $(JOBS)

win: setup
	@cmake -S . -B $(WIN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DVARNEL_WERROR=ON \
	    -DVARNEL_WINEPREFIX=$(TEST_PREFIX) -DVARNEL_HOST_BUILD_DIR=$(abspath $(HOST_DIR)) >/dev/null
	@cmake --build $(WIN_DIR) -j $(JOBS)

fuzz-build: setup
	@cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVARNEL_FUZZ=ON -DVARNEL_WERROR=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)

bench-build: setup
	@cmake -S . -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVARNEL_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)

# Every test, host and Wine, in one CTest run (one summary line at the end).
test: host win fuzz-build
	@scripts/wine-prefix.sh $(TEST_PREFIX)
	@printf 'subdirs("host")\nsubdirs("win")\nsubdirs("fuzz")\n' > $(BUILD)/CTestTestfile.cmake
	@status=0; \
	 VARNEL_WINEPREFIX=$(TEST_PREFIX) xvfb-run -a -s "-screen 0 1024x768x24" \
	     ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) || status=$$?; \
	 . scripts/wine-env.sh; WINEPREFIX=$(TEST_PREFIX) $$WINESERVER -k 2>/dev/null; \
	 exit $$status

run: host win
	@scripts/run-demo.sh $(abspath $(BUILD))

bench: bench-build
	@scripts/run-benchmarks.sh $(abspath $(BUILD))

fuzz: fuzz-build
	@scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

fuzz-long: fuzz-build
	@FUZZ_JOBS=$(FUZZ_JOBS) scripts/run-fuzz-long.sh $(FUZZ_DIR) $(FUZZ_RUNS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD)
