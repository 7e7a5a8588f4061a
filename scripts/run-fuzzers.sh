#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a number of seconds each. New inputs go
# to a scratch corpus; the committed corpus is only read (minimise into it by hand).
set -euo pipefail
build_dir=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$build_dir"/fuzz/*_fuzzer)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build_dir/fuzz"; exit 0; }
for target in "${targets[@]}"; do
  name=$(basename "$target")
  scratch="$build_dir/fuzz-corpus/$name"
  mkdir -p "$scratch"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=4096 "$scratch" "$root/fuzz/corpus/$name"
done
