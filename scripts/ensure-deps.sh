#!/usr/bin/env bash
# Makes sure the packages the build needs are present. On Debian as root it installs
# what is missing with apt-get; elsewhere it names what to install and stops.
# Usage: ensure-deps.sh [build|fuzz|bench|memcheck]
set -euo pipefail

# kvtool's export formats need HDF5 and matio (csv works without them); the Python
# package's demo and tests need numpy, matplotlib, pandas, Dask, pytest and h5py; the
# viewer's page needs npm (the build installs its plotting library with npm ci), and
# its browser test headless Chromium driven by selenium.
packages=(cmake g++ make pkg-config zlib1g-dev libminizip-dev libgtest-dev libbenchmark-dev
          libcli11-dev nlohmann-json3-dev libhdf5-dev libmatio-dev
          python3 python3-pip python3-numpy python3-matplotlib python3-pandas python3-dask python3-distributed
          python3-pytest python3-h5py nodejs npm chromium chromium-driver python3-selenium)
if [ "${1:-build}" = fuzz ]; then
  packages+=(clang libclang-rt-dev)
fi
if [ "${1:-build}" = memcheck ]; then
  packages+=(valgrind)
fi

if ! command -v dpkg-query >/dev/null 2>&1; then
  # Not Debian (for example macOS): check the tools only and let CMake find the libraries.
  for tool in cmake pkg-config; do
    command -v "$tool" >/dev/null 2>&1 || { echo "Please install $tool (and zlib, minizip, googletest, google-benchmark; for kvtool CLI11, nlohmann-json, and optionally HDF5 and matio; for the Python package numpy, pandas, pytest, matplotlib, dask and distributed; for the viewer npm, and Chromium, chromedriver and selenium for its browser test)." >&2; exit 1; }
  done
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  # Node.js from other sources (such as NodeSource) brings its own npm and conflicts
  # with Debian's npm package: an npm command on the path is enough.
  if [ "$package" = npm ] && command -v npm >/dev/null 2>&1; then continue; fi
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
