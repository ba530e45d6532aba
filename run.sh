#!/usr/bin/env bash
# Installs what is missing (Debian packages), configures and builds the
# program, then starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
install_missing_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ ! -x build/app/marlinden ]; then
  echo "The program's entry and windows are not built yet; the data and error layers are (see README)." >&2
  exit 1
fi
exec build/app/marlinden
