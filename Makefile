# The project's commands. `make test` and `make demo` install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
CMAKE_GEN  := -G Ninja

.PHONY: all deps configure build test test-asan demo bench fuzz screenshots clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

# The core suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=ON \
	    -DTOLVANE_WITH_QT=OFF -DTOLVANE_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target tolvane_tests
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L core

demo: build
	scripts/demo $(BUILD)

bench: build
	scripts/bench $(BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DTOLVANE_FUZZ=ON -DTOLVANE_WITH_QT=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/fuzz $(FUZZ_BUILD)

screenshots: build
	scripts/screenshots screenshots

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
