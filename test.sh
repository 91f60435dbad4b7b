#!/usr/bin/env bash
# Builds everything and runs every test: the native suite, then the Windows
# suite under Wine when the Windows build is enabled (ORVANE_SKIP_WINDOWS=1
# skips it). After the native suite comes the hardening run, the suite under
# sanitizers and the fuzz targets (ORVANE_SKIP_HARDENING=1 skips it).
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh native
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j2

if [ "${ORVANE_SKIP_WINDOWS:-0}" != 1 ]; then
  scripts/test-windows.sh
fi

if [ "${ORVANE_SKIP_HARDENING:-0}" != 1 ]; then
  scripts/test-hardening.sh
fi
