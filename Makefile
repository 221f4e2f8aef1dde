# The project's commands. `make test` and `make demo` work on a fresh machine:
# each first installs the Debian packages it needs (scripts/install-deps.sh).

export CC := clang
export CXX := clang++
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

BUILD       := build
BUILD_TEST  := build-test
BUILD_TSAN  := build-tsan

.PHONY: all deps build test tsan bench demo fuzz screenshots clean help

all: build

help:
	@echo "make demo    set up, start simulated controllers and the SNMP host, show a walk and traps"
	@echo "make test    set up and run the whole test suite under ASan+UBSan (and the fuzz targets)"
	@echo "make tsan    run the thread-heavy tests under ThreadSanitizer"
	@echo "make bench   build optimised and run the benchmarks"
	@echo "make fuzz    run every fuzz target longer (FUZZ_SECONDS=600)"
	@echo "make build   plain optimised build into build/"

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DKAV_SANITIZE=address,undefined -DKAV_FUZZ=ON -DKAV_FUZZ_SECONDS=30
	cmake --build $(BUILD_TEST) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_TEST) --output-on-failure -j $(JOBS)

tsan: deps
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKAV_SANITIZE=thread -DKAV_BUILD_GUI=OFF
	cmake --build $(BUILD_TSAN) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir $(BUILD_TSAN) --output-on-failure -j $(JOBS) -L tsan

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$(basename $$b)"; "$$b" || exit 1; done

FUZZ_SECONDS ?= 600
fuzz: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DKAV_SANITIZE=address,undefined -DKAV_FUZZ=ON -DKAV_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(BUILD_TEST) -j $(JOBS)
	ctest --test-dir $(BUILD_TEST) --output-on-failure -L fuzz

screenshots: build
	@scripts/screenshots.sh $(BUILD)

demo: build
	@if [ -x scripts/demo.sh ]; then scripts/demo.sh $(BUILD); else echo "demo: scripts/demo.sh missing" >&2; exit 1; fi

clean:
	rm -rf $(BUILD) $(BUILD_TEST) $(BUILD_TSAN)
