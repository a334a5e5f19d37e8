# Quick start: `make run` opens the program, `make test` runs every test. Both install what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

NATIVE := build/native
WIN64 := build/win64
WIN32 := build/win32
ASAN := build/asan
FUZZ := build/fuzz

.PHONY: all build run test deps native windows check-format check-shell test-native test-sanitizers test-fuzz \
	test-windows test-i686 bench clean

all: build

deps:
	@scripts/install-deps.sh

native: deps
	@scripts/configure.sh -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Release
	@cmake --build $(NATIVE) -j $(JOBS)
	@cp $(NATIVE)/cli/kelvaro-cli $(NATIVE)/kelvaro-cli

windows: deps
	@scripts/configure.sh -S . -B $(WIN64) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release
	@cmake --build $(WIN64) -j $(JOBS)
	@scripts/configure.sh -S . -B $(WIN32) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
		-DCMAKE_BUILD_TYPE=Release -DKELVARO_BUILD_TESTS=ON
	@cmake --build $(WIN32) -j $(JOBS)
	@scripts/collect-windows-programs.sh $(WIN64) $(WIN32)

build: native windows

run: build
	@scripts/run.sh

test: check-format check-shell build test-native test-sanitizers test-fuzz test-windows test-i686
	@echo "All tests passed."

# Every C++ file as .clang-format has it; changes nothing (clang-format -i FILE does).
check-format: deps
	@scripts/check-format.sh

check-shell: deps
	@scripts/check-shell.sh

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-sanitizers: deps
	@CXX=clang++ scripts/configure.sh -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVARO_SANITIZE=ON
	@cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

test-fuzz: deps
	@CXX=clang++ scripts/configure.sh -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARO_SANITIZE=ON \
		-DKELVARO_FUZZ=ON -DKELVARO_BUILD_TESTS=OFF
	@cmake --build $(FUZZ) -j $(JOBS) --target rewrite_line_fuzz stream_fuzz reversal_fuzz cue_match_fuzz
	@for target in rewrite_line_fuzz stream_fuzz reversal_fuzz cue_match_fuzz; do \
		mkdir -p $(FUZZ)/corpus/$$target && \
		echo "fuzzing $$target for $(FUZZ_SECONDS) s" && \
		$(FUZZ)/tests/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ)/ \
			$(FUZZ)/corpus/$$target tests/data 2>$(FUZZ)/$$target.log || { tail -40 $(FUZZ)/$$target.log; exit 1; }; \
		tail -1 $(FUZZ)/$$target.log; \
	done

test-windows: windows
	@scripts/test-windows.sh

# The i686 programs and unit tests under 32-bit Wine in an i386 chroot (built once, outside the clone); skipped, with
# the reason, where this machine cannot do that.
test-i686: windows dist
	@scripts/test-i686.sh $(WIN32) $(WIN64)

# The 100 MB and the 1 GB file: about a minute, and 2.2 GB free under /tmp.
bench: native
	$(NATIVE)/bench/kelvaro-bench --cli $(NATIVE)/kelvaro-cli --big

clean:
	rm -rf build

# Release. `make dist` leaves dist/Kelvaro-VERSION-windows.zip (the 32-bit programs) and
# dist/kelvaro-cli_VERSION_ARCH.deb; `make install PREFIX=DIR` installs kelvaro-cli, its man page and its bash
# completion (default PREFIX /usr/local). VERSION is project(VERSION) in CMakeLists.txt.
VERSION := $(shell sed -n 's/^project.Kelvaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DEB_ARCH := $(shell dpkg --print-architecture 2>/dev/null)
PREFIX ?= /usr/local
DIST := dist

.PHONY: dist install uninstall test-dist

dist: build
	@rm -f $(DIST)/Kelvaro-*-windows.zip $(DIST)/kelvaro-cli_*.deb
	@cd $(NATIVE) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@cd $(WIN32) && cpack -G ZIP >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@ls -l $(DIST)/Kelvaro-$(VERSION)-windows.zip $(DIST)/kelvaro-cli_$(VERSION)_$(DEB_ARCH).deb

install: native
	cmake --install $(NATIVE) --prefix $(PREFIX) --strip

# `make uninstall`, with the PREFIX (and DESTDIR) that `make install` had, removes what it installed: every file that
# `cmake --install` puts under PREFIX (found by installing into an empty folder first), then the program's own folder of
# documents if nothing else is in it. Shared folders (bin/, man/man1/, bash-completion/completions/) stay.
uninstall:
	@[ -f $(NATIVE)/cmake_install.cmake ] || { echo "uninstall: $(NATIVE) is not built: make native first" >&2; exit 1; }
	@stage=$$(mktemp -d) && trap 'rm -rf "$$stage"' EXIT && mkdir "$$stage/root" && status=0 && \
	{ DESTDIR="$$stage/root" cmake --install $(NATIVE) --prefix $(abspath $(PREFIX)) >"$$stage/log" 2>&1 || \
		{ cat "$$stage/log" >&2; exit 1; }; } && \
	while IFS= read -r file; do \
		if [ -e "$(DESTDIR)$$file" ] || [ -L "$(DESTDIR)$$file" ]; then \
			if rm -f -- "$(DESTDIR)$$file"; then echo "removed $(DESTDIR)$$file"; else status=1; fi; \
		fi; \
	done < <(cd "$$stage/root" && find . ! -type d | sed 's/^\.//') && \
	while IFS= read -r dir; do \
		if [ ! -d "$(DESTDIR)$$dir" ]; then :; \
		elif rmdir -- "$(DESTDIR)$$dir" 2>/dev/null; then echo "removed $(DESTDIR)$$dir/"; \
		else echo "kept $(DESTDIR)$$dir/: other files are in it"; fi; \
	done < <(cd "$$stage/root" && find . -type d -name kelvaro-cli | sed 's/^\.//') && \
	exit $$status

test: test-dist

test-dist: dist
	@scripts/test-deb.sh $(DIST)/kelvaro-cli_$(VERSION)_$(DEB_ARCH).deb
	@source scripts/wine-env.sh && scripts/test-zip.sh $(DIST)/Kelvaro-$(VERSION)-windows.zip wine
