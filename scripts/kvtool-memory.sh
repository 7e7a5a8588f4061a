#!/usr/bin/env bash
# Peak memory of kvtool by recording size: writes the 64-channel benchmark
# recording at about 100 MB and at about 4 GB (under TMPDIR, removed at the end),
# then reads one channel end to end with `kvtool samples` and exports eight
# channels to CSV with `kvtool export`, printing each run's peak resident memory.
# Needs GNU time (Debian package `time`) for the peak figures.
# Usage: scripts/kvtool-memory.sh [build-dir]
set -euo pipefail
build=${1:-build}
work=$(mktemp -d "${TMPDIR:-/tmp}/kvtool-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT
kvtool=$build/tools/kvtool/kvtool
writer=$build/bench/write_bench_recording

peak() {  # peak resident memory in KiB of the command given
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null
  cat "$work/rss"
}

# About 249 bytes per full-rate sample.
for samples in 400000 17300000; do
  "$writer" "$work/recording.kvd" "$samples" >/dev/null
  bytes=$(wc -c <"$work/recording.kvd" | tr -d " ")
  samplesRss=$(peak "$kvtool" samples "$work/recording.kvd" "Channel 2")
  exportRss=$(peak "$kvtool" export "$work/recording.kvd" -o "$work/export.csv" --channels 'Channel [0-7]' --quiet)
  printf '%12d bytes: samples of one channel %7d KiB peak, CSV export of eight channels %7d KiB peak\n' \
    "$bytes" "$samplesRss" "$exportRss"
  rm -f "$work"/*.csv "$work/recording.kvd"
done
