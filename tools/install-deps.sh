#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the fuzzers need,
# but only when something is missing (so a second run does nothing).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools desktop-file-utils shared-mime-info
  zlib1g-dev  # corvid-thumbnailer writes its PNG with zlib
  # Test oracles only; never linked into the product.
  libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  libtiff-dev libtiff-tools libimage-exiftool-perl
  # Benchmark peer only (bench/jpeg_decode_bench).
  libstb-dev
  # tools/screenshot.sh: virtual X server, window capture, key presses, PNG
  # conversion.
  xvfb x11-utils x11-apps imagemagick xdotool
  # Debian packages: dependencies (dpkg-shlibdeps) and checks (lintian).
  dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root (or install these packages): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
