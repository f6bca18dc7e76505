# The two everyday commands: `make test` and (with the main window) `make demo`; `make dist`
# for a release. Every target first installs what is missing (scripts/bootstrap.sh) and builds.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
export WINEDEBUG ?= -all

.PHONY: all bootstrap native native-asan win32 wineprefix test test-native test-asan \
        test-win32 fuzz bench demo dist format clean

all: native native-asan win32

bootstrap:
	@bash scripts/bootstrap.sh

native native-asan win32: bootstrap
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j$(JOBS)

wineprefix: bootstrap
	@scripts/wine-run.sh cmd /c exit 0

test-native: native
	ctest --preset native

test-asan: native-asan
	ctest --preset native-asan

test-win32: win32 wineprefix
	ctest --preset win32

test: test-native test-asan test-win32

fuzz: bootstrap
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)
	mkdir -p build/fuzz/corpus/load_document build/fuzz/seeds
	build/fuzz/tests/fuzz/make_seed_corpus build/fuzz/seeds
	build/fuzz/tests/fuzz/load_document_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -rss_limit_mb=2048 build/fuzz/corpus/load_document build/fuzz/seeds
	mkdir -p build/fuzz/corpus/pe_version build/fuzz/seeds-pe
	build/fuzz/tests/fuzz/make_pe_seeds build/fuzz/seeds-pe
	find /usr/lib/i386-linux-gnu/wine/i386-windows -name '*.dll' ! -name 'lz*' -size -16k 2>/dev/null \
	  | head -n 8 | xargs -r cp -t build/fuzz/seeds-pe
	build/fuzz/tests/fuzz/pe_version_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -rss_limit_mb=2048 build/fuzz/corpus/pe_version build/fuzz/seeds-pe
	mkdir -p build/fuzz/corpus/szdd_expand build/fuzz/seeds-szdd
	build/fuzz/tests/fuzz/make_szdd_seeds build/fuzz/seeds-szdd
	build/fuzz/tests/fuzz/szdd_expand_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -rss_limit_mb=2048 build/fuzz/corpus/szdd_expand build/fuzz/seeds-szdd

bench: bootstrap
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j$(JOBS)
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS) --target lz32_bench scale_wine_bench vareri \
	  vareri-cli updpack
	set -o pipefail; { build/bench/bench/load_bench && \
	  bench/codec_bench.sh build/bench build/win32 && \
	  build/bench/bench/update_bench && \
	  build/bench/bench/scale_bench build/bench build/win32 && \
	  build/bench/bench/case_bench build/bench; } | bench/table.sh

demo:
	@JOBS=$(JOBS) bash scripts/demo.sh

# build/dist/vareri-<version>-win32.zip; signed when SIGN_CERT and SIGN_KEY name a PEM
# certificate and key (SIGN_TIMESTAMP: a timestamp server's URL). See README, "Releases".
dist: bootstrap
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS) --target vareri vareri-cli updpack
	bash scripts/package.sh build/win32 build/dist

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
