#!/usr/bin/env bash
# Builds the project and runs its main job.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh native
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
scripts/demo.sh build
