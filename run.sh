#!/usr/bin/env bash
# Installs what is missing (Debian packages), configures and builds the
# program, then starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
install_missing_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
# The program keeps its files in its data folder (see the README).
exec build/main/marlinden
