# Korvello: `make run` builds the program and starts it under Wine;
# `make test` builds everything and runs every test. Both install what they need.
BUILD      ?= build
NATIVE     := $(BUILD)/native
WIN        := $(BUILD)/win
TOOLS_DIR  := $(BUILD)/tools
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all prereqs native win tools test test-native test-win test-tools test-e2e run bench clean

all: win

prereqs:
	@scripts/prereqs.sh

tools: prereqs
	@tools/build-tools.sh $(abspath $(TOOLS_DIR))

native: prereqs
	@cmake -S . -B $(NATIVE) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

win: prereqs tools
	@cmake -S . -B $(WIN) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DKORVELLO_TOOLS_DIR=$(abspath $(TOOLS_DIR)) -DKORVELLO_BUILD_TOOLS=OFF >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure

test-win: win
	@cmake/with-xvfb.sh bash -c 'cd $(WIN) && ctest --output-on-failure'

test-tools: tools
	@cmake/with-xvfb.sh bash -c 'source cmake/wine-env.sh && kv_wine_prefix_ready && \
	    tests/tools/test_tools.sh $(abspath $(TOOLS_DIR))'

test-e2e: win
	@cmake/with-xvfb.sh tests/e2e/run_all.sh $(abspath $(WIN))

test: test-native test-win test-tools test-e2e
	@echo "All tests passed."

run: win
	@scripts/run.sh $(abspath $(WIN))

bench: win
	@cmake/with-xvfb.sh bench/run_all.sh $(abspath $(WIN))

clean:
	rm -rf $(BUILD)
