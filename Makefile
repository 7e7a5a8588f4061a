# The two commands of a new user: `make demo` and `make test`. Both install what a
# Debian machine lacks (as root) before building.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
MEMCHECK_CYCLES ?= 1000
JOBS ?= $(shell nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)

.PHONY: all deps bench-deps build demo test sanitize-test tsan-test memcheck bench fuzz install clean

all: build

deps:
	@scripts/ensure-deps.sh build

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The demo: the library's version through the C interface, then a short walk with
# kvtool through a sample recording that the test kit writes (plain and
# zip-packaged): what it holds, its channels, its events and regions, a few samples
# across the gap between two regions, an export to CSV (and HDF5 when built), a quick
# look from Python, and the command that opens the viewer in the browser.
DEMO_DIR = $(BUILD_DIR)/demo-recording
KVTOOL = $(BUILD_DIR)/tools/kvtool/kvtool
demo: build
	$(BUILD_DIR)/demo/kvdemo
	@mkdir -p $(DEMO_DIR)
	$(BUILD_DIR)/demo/kvdemo_recording $(DEMO_DIR)
	@echo; echo "== What the recording holds"
	$(KVTOOL) info $(DEMO_DIR)/sample.kvd
	@echo; echo "== Its channels, each with its own rate and sample count"
	$(KVTOOL) channels $(DEMO_DIR)/sample.kvd
	@echo; echo "== Its events and the regions it recorded"
	$(KVTOOL) events $(DEMO_DIR)/sample.kvd
	@echo; echo "== Voltage from 1.995 s to 3.005 s: the end of one region, the start of the next"
	$(KVTOOL) samples $(DEMO_DIR)/sample.kvd Voltage --from 1.995 --to 3.005
	@echo; echo "== Everything to CSV, one table per time base"
	$(KVTOOL) export $(DEMO_DIR)/sample.kvd -o $(DEMO_DIR)/sample.csv --format csv
	@ls $(DEMO_DIR)/*.csv
	@if $(KVTOOL) export --help | grep -q "Built formats:.*hdf5"; then \
	  echo; echo "== And to HDF5"; \
	  echo "$(KVTOOL) export $(DEMO_DIR)/sample.kvd -o $(DEMO_DIR)/sample.h5 --format hdf5"; \
	  $(KVTOOL) export $(DEMO_DIR)/sample.kvd -o $(DEMO_DIR)/sample.h5 --format hdf5; fi
	@echo; echo "== The zip-packaged form opens the same way"
	$(KVTOOL) info $(DEMO_DIR)/sample.kxz
	@echo; echo "== A quick look from Python: one axis per unit, regions shaded, events marked"
	KVDATAREADER_LIB=$(abspath $(firstword $(wildcard $(BUILD_DIR)/src/libKVDataReaderLib64.so \
	  $(BUILD_DIR)/src/libKVDataReaderLib64.dylib))) PYTHONPATH=python \
	  $(or $(PYTHON),/usr/bin/python3) -m kvdatareader plot $(DEMO_DIR)/sample.kvd -o $(DEMO_DIR)/quicklook.png
	@echo; echo "== Pan and zoom through it in the browser (the server prints its address; Ctrl+C stops it):"
	@echo "KVDATAREADER_LIB=$(abspath $(firstword $(wildcard $(BUILD_DIR)/src/libKVDataReaderLib64.so \
	  $(BUILD_DIR)/src/libKVDataReaderLib64.dylib))) KVDATAREADER_UPLOT=$(abspath $(BUILD_DIR))/python/viewer/node_modules/uplot/dist \
	  PYTHONPATH=$(abspath python) $(or $(PYTHON),/usr/bin/python3) -m kvdatareader view $(abspath $(DEMO_DIR))/sample.kvd"
	@echo "(add --no-browser to print the address only, --port N for a port of your choice)"

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# Readers on eight threads at once under ThreadSanitizer: only the library and the
# thread tests are built.
tsan-test: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target thread_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir $(TSAN_DIR) --output-on-failure -L threads

# MEMCHECK_CYCLES open, read and close cycles of the demo recording, plain and
# zip-packaged, under valgrind: any invalid access or lost block fails, and so do
# descriptors left open at the end.
memcheck: build
	@scripts/ensure-deps.sh memcheck
	cmake --build $(BUILD_DIR) -j $(JOBS) --target memcheck_cycles
	valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
	  $(BUILD_DIR)/tests/memcheck/memcheck_cycles $(MEMCHECK_CYCLES)

bench-deps:
	@scripts/ensure-deps.sh bench

# KV_BENCH_SAMPLES sets the size of the engine benchmark's recording (default
# 20000000 full-rate samples, about 6 GB under TMPDIR while it runs);
# KV_BENCH_ASYNC_SAMPLES that of the asynchronous one (default 10000000 samples
# per channel, about 450 MB under TMPDIR and 1.3 GB of memory while it runs);
# KV_BENCH_EXPORT_SAMPLES that of the export benchmark's (default 2000000 full-rate
# samples: about 0.5 GB under TMPDIR, 0.9 GB of memory, 2 GB of CSV while it runs).
# Each benchmark's JSON goes to BENCH_OUT, where scripts/plot_performance.py reads
# it for the figures of doc/performance.md.
BENCH_OUT ?= $(BUILD_DIR)/bench-results
bench: bench-deps build
	@mkdir -p $(BENCH_OUT)
	@for b in $(BUILD_DIR)/bench/*_bench; do n=$$(basename $$b); echo "== $$n"; \
	  $$b --benchmark_out=$(BENCH_OUT)/$$n.json --benchmark_out_format=json || exit 1; done
	$(or $(PYTHON),/usr/bin/python3) scripts/plot_performance.py $(BENCH_OUT) $(BENCH_OUT)/performance.png

# Each fuzz target for FUZZ_SECONDS seconds, starting from its committed corpus.
fuzz:
	@scripts/ensure-deps.sh fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_BUILD_FUZZERS=ON -DKV_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR)
