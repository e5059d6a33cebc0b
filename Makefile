# Set-up and everyday commands; CMake does the building.
BUILD      ?= build
SAN_BUILD  ?= build-san
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 1800
FUZZ_CXX   ?= clang++-14
FUZZ_TARGETS = parameter_file palette_file
JOBS       ?= $(shell nproc)
WERROR     ?= $(if $(CI),ON,OFF)
CMAKE_OPTS ?=
CLANG_FORMAT ?= clang-format

.PHONY: all deps build run package test test-fast test-san test-tsan test-farm fuzz bench format format-check clean

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=$(WERROR) $(CMAKE_OPTS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/quorvalis

# The Debian package for /usr (quorvalis_VERSION_ARCH.deb in the build folder).
package: build
	cmake --build $(BUILD) --target package

# Every test: the release build, then the core (reelbind's included), picture-file,
# headless-renderer and window tests
# again under Address- and UndefinedBehaviorSanitizer in a second build folder (the renderer's
# end-to-end tests run the sanitized program), then the tests of the code that runs
# worker threads under ThreadSanitizer in a third.
test: test-fast test-san test-tsan

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-san: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=address,undefined \
	    -DQV_WERROR=$(WERROR) -DQV_BENCH=OFF $(CMAKE_OPTS)
	cmake --build $(SAN_BUILD) -j $(JOBS) --target core_tests imaging_tests cli_tests tools_tests \
	    ui_tests reelbind_tests video_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/ui/lsan-qt.supp:print_suppressions=0 \
	    ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS) -L 'core|imaging|cli|ui'

# Only the renderers and the movie decoder start threads; their tests are what ThreadSanitizer
# has to watch.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=thread \
	    -DQV_WERROR=$(WERROR) -DQV_BENCH=OFF $(CMAKE_OPTS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target core_tests video_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/video/tsan-ffmpeg.supp \
	    ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L core \
	    -R '^(Renderers|RenderEntry|FrameFeed)\.'

# A one-node Slurm cluster of its own, in a temporary folder, renders a movie job as a job
# array; the frames must be those of a single-process run. The output stays in
# $(BUILD)/test-farm.log.
test-farm: build
	./scripts/install-farm-deps
	./scripts/test-farm $(BUILD) >$(BUILD)/test-farm.log 2>&1; status=$$?; \
	    cat $(BUILD)/test-farm.log; exit $$status

# The parameter-file and palette-file readers under libFuzzer with Address- and
# UndefinedBehaviorSanitizer, built with clang in a folder of their own. The seed corpus is
# written by the program's own savers; what a run learns is kept in $(FUZZ_BUILD)/corpus/NAME,
# crashes in $(FUZZ_BUILD)/findings/NAME-*.
fuzz:
	./scripts/install-deps --fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQV_FUZZ=ON -DQV_SANITIZE=address,undefined -DQV_BENCH=OFF $(CMAKE_OPTS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_seeds $(addprefix fuzz_,$(FUZZ_TARGETS))
	./$(FUZZ_BUILD)/tools/fuzz/fuzz_seeds $(FUZZ_BUILD)/seeds
	mkdir -p $(FUZZ_BUILD)/findings
	for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t && \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
	    ./$(FUZZ_BUILD)/tools/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 \
	        -artifact_prefix=$(FUZZ_BUILD)/findings/$$t- \
	        $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t || exit 1; \
	done

bench: build
	./$(BUILD)/bench/qv_bench

format:
	$(CLANG_FORMAT) -i $$(git ls-files '*.cpp' '*.h')

# Fails, naming each file that `make format` would change.
format-check: deps
	@$(CLANG_FORMAT) --dump-config >/dev/null
	@bad=$$(for f in $$(git ls-files '*.cpp' '*.h'); do \
	    $(CLANG_FORMAT) --dry-run -Werror "$$f" >/dev/null 2>&1 || echo "$$f"; done); \
	if [ -n "$$bad" ]; then \
	    echo "format-check: $$(echo "$$bad" | wc -l) files not formatted (make format fixes them):"; \
	    echo "$$bad" | sed 's/^/    /'; exit 1; \
	fi; echo "format-check: every file formatted"

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
