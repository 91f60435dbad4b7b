#!/usr/bin/env bash
# The main job: runs the launcher with its embedded payload from a scratch
# launcher folder that holds a user dictionary and translation table, and
# shows what happened.
set -euo pipefail
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
launcher_folder="$scratch/launcher-folder"
temp_folder="$scratch/temp"
mkdir -p "$launcher_folder" "$temp_folder" "$scratch/figures"

printf 'point(a, 0, 0).\n' | gzip -n > "$scratch/figures/15.orvfg"
printf 'point(b, 1, 1).\n' | gzip -n > "$scratch/figures/14A.orvfg"
"$bin/orvane-zip" create "$launcher_folder/dictheo.zip" "$scratch"/figures/*.orvfg
printf 'hello;bonjour\nworld;monde\n' > "$launcher_folder/trad_dyn.csv"

echo "== launcher folder before the run"
ls -l "$launcher_folder"
"$bin/orvane-zip" list "$launcher_folder/dictheo.zip"
echo
echo "== running orvane-launcher \"demo argument\" (TEMP=$temp_folder)"
status=0
(cd "$launcher_folder" && TEMP="$temp_folder" "$bin/orvane-launcher" "demo argument") || status=$?
echo "== exit code: $status"
echo
echo "== launcher folder after the run"
ls -l "$launcher_folder"
echo "-- trad_dyn.pl:"
cat "$launcher_folder/trad_dyn.pl"
echo "-- dictheo.zip (repacked, with the figure the application added):"
"$bin/orvane-zip" list "$launcher_folder/dictheo.zip"
echo
if [ -e "$temp_folder/orvane42" ]; then
  echo "== the work folder is still there (unexpected)"
else
  echo "== the work folder $temp_folder/orvane42 has been removed"
fi
exit "$status"
