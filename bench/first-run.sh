#!/usr/bin/env bash
# The launcher's first run, in one run on one machine: builds what it needs,
# makes a payload with the shape and figures of the real one, builds a
# launcher that carries it, and prints medians and ratios against unzip -q,
# bsdtar -xf and the floor, the launcher's peak memory, and the extraction
# cost per entry for 1,000, 10,000 and 50,000 entries.
#
# Usage: bench/first-run.sh [BUILD-DIR]     (default: build-bench)
# Environment: RUNS (default 10), COUNT_RUNS (runs per entry count, default 5),
#              BENCH_WORK (default BUILD-DIR/bench-work/first-run; every file the
#              runs write lies under it, so it chooses the file system measured)
# The launcher with the realistic payload is built in BUILD-DIR-launcher.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=$(realpath -m "${1:-$root/build-bench}")
launcher_build=$build-launcher
runs=${RUNS:-10}
work=${BENCH_WORK:-$build/bench-work/first-run}

"$root/scripts/deps.sh" native bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target orvane-zip orvane-stand-in orvane-floor >/dev/null

mkdir -p "$work"
cd "$work"

# The payload is remade only when its maker or the stand-in changed.
stamp=$(cat "$bench/make-payload" "$bench/bench_data.py" "$build/bin/orvane-stand-in" \
        "$build/bin/orvane-zip" | sha256sum | cut -c1-16)
if [ "$(cat payload.stamp 2>/dev/null)" != "$stamp" ]; then
  echo "making the payload ..." >&2
  "$bench/make-payload" --stand-in "$build/bin/orvane-stand-in" \
    --zip-tool "$build/bin/orvane-zip" --out payload.zip --dictionary-out dictheo.zip >payload.txt
  "$bench/floor-prepare" payload.zip dictheo.zip setup.floor pack.floor
  echo "$stamp" >payload.stamp
fi
cat payload.txt

cmake -S "$root" -B "$launcher_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF -DORVANE_PAYLOAD="$work/payload.zip" >/dev/null
cmake --build "$launcher_build" -j2 --target orvane-launcher >/dev/null

many=()
for count in 1000 10000 50000; do
  if [ ! -f "many-$count.zip" ]; then
    python3 "$bench/bench_data.py" many "many-$count.zip.part" "$count"
    mv "many-$count.zip.part" "many-$count.zip"
  fi
  many+=(--many "$count=$work/many-$count.zip")
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$bench/first_run.py" --launcher "$launcher_build/bin/orvane-launcher" \
  --floor "$build/bin/orvane-floor" --orvane-zip "$build/bin/orvane-zip" \
  --payload payload.zip --dictionary dictheo.zip --setup-container setup.floor \
  --pack-container pack.floor --work "$work" --runs "$runs" --count-runs "${COUNT_RUNS:-5}" \
  "${many[@]}"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
