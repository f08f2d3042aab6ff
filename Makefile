# Korvello: `make run` builds the program and starts it under Wine;
# `make test` builds everything and runs every test. Both install what they need.
BUILD      ?= build
NATIVE     := $(BUILD)/native
WIN        := $(BUILD)/win
TOOLS_DIR  := $(BUILD)/tools
JOBS       ?= $(shell nproc)
# The tests' Wine prefix lives in the build folder, so two build folders never share one.
export WINEPREFIX ?= $(abspath $(BUILD))/wineprefix

.PHONY: all prereqs native fuzz-build win tools dist test test-native test-fuzz test-win test-tools test-e2e run bench fuzz clean

all: win

prereqs:
	@scripts/prereqs.sh

tools: prereqs
	@tools/build-tools.sh $(abspath $(TOOLS_DIR))

# The presets of CMakePresets.json, in the folders of $(BUILD).
native: prereqs
	@cmake --preset native -B $(NATIVE) >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

# A build folder configured with another toolchain file is configured afresh.
TOOLCHAIN  := $(abspath tools/cmake/mingw-w64-x86_64.cmake)
win: prereqs tools
	@fresh=; grep -qsF 'include("$(TOOLCHAIN)")' $(WIN)/CMakeFiles/*/CMakeSystem.cmake || fresh=--fresh; \
	    cmake --preset win $$fresh -B $(WIN) -DKORVELLO_TOOLS_DIR=$(abspath $(TOOLS_DIR)) >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

# The release: zip, per-user MSI, their SHA-256 files and winget's manifests,
# made afresh each time so that signing (KORVELLO_SIGN_PFX, see dist/sign.sh)
# applies whenever it is asked for.
VERSION    := $(shell sed -nE 's/^project.Korvello VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
DIST_NAME  := korvello-$(VERSION)-win64
dist: win
	@dist/make-dist.sh $(WIN)/korvello.exe $(TOOLS_DIR) $(VERSION) $(BUILD)/dist $(WIN)/art/korvello.ico
	@cd $(BUILD)/dist && sha256sum -c --quiet $(DIST_NAME).zip.sha256 $(DIST_NAME).msi.sha256

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure

# The libFuzzer harnesses (clang): under test, each over its corpus for a
# bounded number of runs; `make fuzz` runs each for FUZZ_SECONDS and keeps
# what it finds in $(FUZZ)/found.
FUZZ         := $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
fuzz-build: prereqs
	@cmake --preset fuzz -B $(FUZZ) >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)

test-fuzz: fuzz-build
	@cd $(FUZZ) && ctest --output-on-failure

fuzz: fuzz-build
	@for n in $$(cat $(FUZZ)/fuzz-names.txt | tr ';' ' '); do \
	    mkdir -p $(FUZZ)/found/$$n $(FUZZ)/artifacts; echo "== $$n ($(FUZZ_SECONDS) s)"; \
	    $(FUZZ)/fuzz_$$n -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 -print_final_stats=1 \
	        -artifact_prefix=$(abspath $(FUZZ))/artifacts/$$n- $(FUZZ)/found/$$n tests/fuzz/corpus/$$n 2>&1 | \
	        grep -aE '^(stat::number_of_executed_units|stat::new_units_added|==.*ERROR|SUMMARY)' || exit 1; \
	done

# Every target that runs Wine runs it inside WINE_SESSION, which ends the
# servers of every prefix it used when the target ends: pass, fail or Ctrl-C.
# exec: make then waits for that clean-up even when it is interrupted.
WINE_SESSION = exec cmake/wine-session.sh $(abspath $(BUILD))

# The Win32 tests; the end-to-end scenarios (label e2e) are test-e2e's.
test-win: win
	@$(WINE_SESSION) cmake/with-xvfb.sh bash -c 'cd $(WIN) && ctest --output-on-failure -LE e2e'

test-tools: tools
	@$(WINE_SESSION) cmake/with-xvfb.sh bash -c 'source scripts/lib/kv.sh && kv_wine_prefix_ready && \
	    tests/tools/test_tools.sh $(abspath $(TOOLS_DIR))'

# One ctest test a scenario; then each scenario's count of passed, failed and skipped checks.
test-e2e: win
	@$(WINE_SESSION) cmake/with-xvfb.sh bash -c 'cd $(WIN) && ctest --output-on-failure -L e2e; rc=$$?; \
	    cat e2e/summary.txt 2>/dev/null; exit $$rc'

test: test-native test-fuzz test-win test-tools test-e2e
	@bash -c 'source scripts/lib/kv.sh; left=$$(kv_wine_servers_left $(abspath $(BUILD))); \
	    [ -z "$$left" ] || { echo "Wine servers still running: $$left"; exit 1; }'
	@echo "All tests passed."

run: win
	@$(WINE_SESSION) scripts/run.sh $(abspath $(WIN))

bench: win native
	@cmake --build $(NATIVE) -j $(JOBS) --target report_search_bench
	@$(NATIVE)/report_search_bench
	@cmake --build $(WIN) -j $(JOBS) --target korvello_bench
	@$(WINE_SESSION) cmake/with-xvfb.sh bench/run_all.sh $(abspath $(WIN))

clean:
	rm -rf $(BUILD)
