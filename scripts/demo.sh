#!/usr/bin/env bash
# The main job until the launcher lands: orvane-zip writes, lists and
# extracts a small sample archive.
set -euo pipefail
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf 'theorem 1\n' > "$scratch/15.orvfg"
printf 'theorem 2\n%.0s' $(seq 200) > "$scratch/14A.orvfg"
"$bin/orvane-zip" create "$scratch/sample.zip" "$scratch/15.orvfg" "$scratch/14A.orvfg"
"$bin/orvane-zip" list "$scratch/sample.zip"
"$bin/orvane-zip" extract "$scratch/sample.zip" "$scratch/out"
ls -l "$scratch/out"
