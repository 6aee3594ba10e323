#!/usr/bin/env bash
# Installs the Debian packages Tarvex needs to build, test and run.
# Safe to run again: apt-get skips packages that are already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config python3 clang-format
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libopencv-imgproc-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libhidapi-dev libusb-1.0-0-dev
  libtiff-tools
  xvfb xauth fonts-dejavu-core
  python3-astropy siril
  indi-bin libindi-dev
  astrometry.net libcfitsio-bin astrometry-data-tycho2-08 astrometry-data-tycho2-09
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
