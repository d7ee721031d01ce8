# Entry points: `make run` builds the product (no tests, warnings not fatal) in build-run and
# runs Orvanta's main job; `make test` builds everything with warnings as errors and runs
# every test suite (plain with the install test, then under AddressSanitizer/UBSan, then the
# threading tests under ThreadSanitizer). Both install the Debian packages they need first.

JOBS ?= 2
# Clones in other folders (CI) share the compiler cache.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
CMAKE_FLAGS ?= -G Ninja -DORVANTA_WERROR=ON
CTEST_FLAGS ?= --output-on-failure --timeout 300 -j $(JOBS)
# The suites compare English texts (the translation tests choose their language themselves).
TEST_LANGUAGE := LANGUAGE=en LC_MESSAGES=C.UTF-8
# GCC 12's ThreadSanitizer cannot map its shadow memory with the address-space randomisation
# of current kernels; its runs go without it.
NO_ASLR := $(shell setarch $$(uname -m) -R true 2>/dev/null && echo setarch $$(uname -m) -R)

.PHONY: all deps build build-tests release run install deb test test-plain test-asan test-tsan bench fuzz clean translations

PREFIX ?= /usr/local

all: build

deps:
	bash scripts/install-deps.sh

# What a user builds: the programs and the demo station, nothing of the tests.
build: deps
	cmake -S . -B build-run -G Ninja -DORVANTA_BUILD_TESTS=OFF
	cmake --build build-run -j $(JOBS)

run: build
	BUILD_DIR=build-run bash scripts/run.sh

# What is installed or packaged: optimised, and holding no path of a build folder (which
# another user could make where it was).
release: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANTA_BUILD_TESTS=OFF \
		-DORVANTA_DEVELOPER_PATHS=OFF
	cmake --build build-release -j $(JOBS)

# Installs the programs, resources, menu entry, icons and manual pages under PREFIX.
install: release
	cmake --install build-release --prefix $(PREFIX)

# A Debian package (build-release/orvanta_*.deb) to install with apt-get install ./orvanta_*.deb.
deb: release
	cd build-release && cpack -G DEB

build-tests: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

test: test-plain test-asan test-tsan

# Merges the sources' new texts into translations/orvanta_*.ts for the translators (every
# build extracts them; the tests fail while one is untranslated).
translations:
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build --target update_translations

# The fuzz harnesses under libFuzzer (clang, AddressSanitizer and UBSan), each run for
# SECONDS; the test suites only replay their seed corpora.
SECONDS ?= 60
fuzz:
	bash scripts/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DORVANTA_SANITIZE=fuzzer \
		-DORVANTA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS) --target fuzzers
	bash tests/fuzz/run-fuzzers.sh build-fuzz $(SECONDS)

test-plain: build-tests
	$(TEST_LANGUAGE) ctest --test-dir build $(CTEST_FLAGS)
	$(TEST_LANGUAGE) bash tests/install/install-test.sh build
	$(TEST_LANGUAGE) bash tests/install/package-test.sh build

# The schedule end-to-end test spends its minutes waiting for the clock, and the fault tests
# and the twenty-crash server test drive the programs for a minute or more each; what they
# exercise is under the sanitizers in the unit suites, so they run in the plain pass only.
test-asan: deps
	cmake -S . -B build-asan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=address
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		$(TEST_LANGUAGE) ctest --test-dir build-asan $(CTEST_FLAGS) -LE '^fault$$' \
		-E '^(ScheduleEndToEnd|IcecastTest.ARecordingGoesOnThroughTwentyServerCrashes)$$'

test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		$(TEST_LANGUAGE) $(NO_ASLR) ctest --test-dir build-tsan $(CTEST_FLAGS) -L threads

bench: deps
	cmake -S . -B build-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DORVANTA_BUILD_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/*_bench; do \
		case "$$b" in *scale_bench|*window_bench|*soak_bench|*formats_bench) continue;; esac; "$$b" || exit 1; \
	done
	bash bench/window.sh
	@echo "Scale runs: bench/scale.sh [SECONDS] [COUNTS...], bench/handover.sh [STATIONS] [SECONDS]"
	@echo "Formats: bench/formats.sh [N] [SECONDS] [SPEED]; MP3 unchanged: bench/mp3-identity.sh OLD NEW"

clean:
	rm -rf build build-run build-release build-asan build-tsan build-bench
