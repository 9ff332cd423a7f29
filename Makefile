# The two set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: run test build deps fuzz bench clean

run: build
	cd $(BUILD_DIR)/bin && ./kelvaro-import

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

deps:
	@sh scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

bench: build
	@sh scripts/install-deps --bench
	cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done; true

fuzz:
	@sh scripts/install-deps --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKIMPORT_FUZZ=ON -DKIMPORT_BUILD_UI=OFF
	cmake --build build-fuzz -j $(JOBS)
	sh scripts/run-fuzzers build-fuzz $${FUZZ_SECONDS:-60}

clean:
	rm -rf $(BUILD_DIR) build-fuzz
