#!/usr/bin/env bash
# The zip library against general-purpose peers, in one run on one machine:
#   - orvane-zip extract against unzip -q, orvane-zip create against zip -q -6,
#     on a 20 MB source of a few hundred files (text and incompressible bytes),
#     median wall time over RUNS runs each, the commands taking turns round
#     after round so that a change of load on the shared machine touches all;
#   - peak resident memory of a tiny archive against a 200 MB entry;
#   - the codecs' throughput against zlib called directly (orvane-zip-bench).
#
# Usage: bench/zip-vs-peers.sh [BUILD-DIR]     (default: build-bench)
# Environment: RUNS (default 10), BENCH_WORK (default BUILD-DIR/bench-work/peers)
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=$(realpath -m "${1:-$root/build-bench}")
runs=${RUNS:-10}
work=${BENCH_WORK:-$build/bench-work/peers}
big_size=$((200 * 1024 * 1024))

"$root/scripts/deps.sh" native bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target orvane-zip orvane-zip-bench >/dev/null
ozip=$build/bin/orvane-zip

mkdir -p "$work"
cd "$work"

# Sources are made once and kept: they depend only on the generator.
if [ ! -f src.done ]; then
  echo "making the 20 MB source ..." >&2
  rm -rf src && python3 "$bench/bench_data.py" tree src 300 20000000 && touch src.done
fi
if [ ! -f source.zip ]; then
  (cd src && zip -q -6 -X ../source.zip.part ./*) && mv source.zip.part source.zip
fi
if [ ! -f big.zip ]; then
  echo "making the 200 MB entry ..." >&2
  python3 "$bench/bench_data.py" big big.bin "$big_size"
  zip -q -6 -j big.zip.part big.bin && mv big.zip.part big.zip
fi
if [ ! -f tiny.zip ]; then
  head -c 1000 src/text000.txt >tiny.txt && zip -q -6 -j tiny.zip tiny.txt
fi
echo "running the codec benchmarks ..." >&2
# Repetitions in random order, so that load drifts do not favour one side.
"$build/bin/orvane-zip-bench" --benchmark_filter='flate|Crc32' --benchmark_repetitions=10 \
  --benchmark_min_time=0.3 --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_out="$work/codecs.json" \
  --benchmark_out_format=json >/dev/null 2>&1

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$bench/report.py" peers "$work" "$ozip" "$runs" "$big_size"
