# TOMEKEEP: one command to set up and start, one to set up and test.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

# Debian packages needed to build, test, benchmark and fuzz.
PACKAGES := cmake ninja-build g++ pkg-config make \
	qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-webengine-dev libgl-dev \
	libzip-dev libxapian-dev libssl-dev zlib1g-dev libicu-dev libgtest-dev libgmock-dev libbenchmark-dev \
	libwmf-dev libemf2svg-dev qt6-svg-dev \
	clang libclang-rt-14-dev clang-format-16 \
	zip unzip p7zip-full python3 \
	xvfb xauth fonts-nanum qt6-translations-l10n libreoffice-writer-nogui \
	desktop-file-utils appstream dpkg-dev file poppler-utils

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test format-check bench fuzz fuzz-run clean install deb

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/tomekeep

format-check: deps
	@files=$$(git ls-files '*.cpp' '*.h' 2>/dev/null); \
	if [ -n "$$files" ]; then clang-format-16 --style=file --dry-run -Werror $$files; fi
	@echo "format: ok"

test: build format-check
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 600

# make install [PREFIX=/usr/local] [DESTDIR=/staging]: the program and its libraries in
# PREFIX/lib/tomekeep/, links in PREFIX/bin/, the desktop file, icons and metadata in PREFIX/share/.
PREFIX ?= /usr/local
install: build
	@run=; if [ -z "$(DESTDIR)" ] && [ ! -w "$(PREFIX)" ] && [ -n "$(SUDO)" ]; then \
		run=sudo; echo "$(PREFIX) 에 쓰려면 관리자 권한이 필요해 sudo로 설치합니다."; fi; \
	DESTDIR="$(DESTDIR)" $$run cmake --install $(BUILD) --prefix "$(PREFIX)"

# make deb: $(BUILD)/package/tomekeep_<version>_<arch>.deb, installed under /usr.
deb: build
	cd $(BUILD) && cpack -G DEB -B package
	@ls $(BUILD)/package/*.deb

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; \
		QT_QPA_PLATFORM=offscreen $$b || exit 1; done

fuzz: deps
	@[ -f build-fuzz/CMakeCache.txt ] || CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_FUZZ=ON -DTK_BUILD_TESTS=OFF -DTK_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS each (one per core at a time); see fuzz/run_fuzzers.sh.
FUZZ_SECONDS ?= 3600
fuzz-run: fuzz
	SECONDS_EACH=$(FUZZ_SECONDS) fuzz/run_fuzzers.sh

# A LIST folder beside a built program is a library (a portable copy): it is kept, never wiped.
clean:
	@for dir in $(BUILD) build-fuzz; do \
		if [ -d "$$dir/bin/LIST" ]; then \
			find "$$dir" -mindepth 1 -maxdepth 1 ! -name bin -exec rm -rf {} +; \
			find "$$dir/bin" -mindepth 1 -maxdepth 1 ! -name LIST -exec rm -rf {} +; \
			echo "$$dir/bin/LIST 폴더에는 문서 보관함이 있어 지우지 않았습니다 (나머지는 모두 지웠습니다). 필요 없으면 직접 지우세요."; \
		else \
			rm -rf "$$dir"; \
		fi; \
	done
