#!/usr/bin/env bash
# Installs what is missing (Debian packages), checks the formatting and the
# layer order of the includes, configures, builds and runs every test: a
# normal build running all tests, then an AddressSanitizer +
# UndefinedBehaviorSanitizer build running the headless tests.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
install_missing_packages

jobs=$(nproc)
# A compiler cache, where the machine has one, keeps rebuilds short.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# The sources follow .clang-format.
folders=()
for f in runtime testing qt errors data window process mail links app procedures main tests bench tools; do [ -d "$f" ] && folders+=("$f"); done
find "${folders[@]}" \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror
# No source includes a header of a layer above its own.
python3 tools/check_layers.py

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARLINDEN_SANITIZE=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs" --timeout 600 -L headless)
