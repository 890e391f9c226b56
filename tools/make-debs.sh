#!/usr/bin/env bash
# Builds the Debian packages corvid, librastkit1 and librastkit-dev from a
# release build made with the distribution's compiler and linker flags
# (dpkg-buildflags: hardening, fortify, relro), then checks them with
# lintian; the exceptions are documented in the overrides the packages
# carry (packaging/*/lintian-overrides).
# Usage: tools/make-debs.sh [BUILD-DIR [OUT-DIR]]  (default build-deb, out/debs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
out=$(realpath -m "${2:-out/debs}")

./tools/install-deps.sh
# Every hardening feature, bind-now included. CMake reads no CPPFLAGS: the
# preprocessor flags (-D_FORTIFY_SOURCE=2) go with the compiler's. The
# flags are given as cache values so that a second run with other flags
# takes them (the environment's are read only into a new cache).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Installed into /usr: the library lands in lib/<multiarch>, where Qt's
# plugin folder is too.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DRK_TESTS=OFF -DRK_SANITIZE=OFF -DCMAKE_CXX_FLAGS="$cxxflags" \
      -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
      -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$out" && mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out/cpack" >/dev/null)
mv "$out"/cpack/*.deb "$out"/ && rm -rf "$out/cpack"

for deb in "$out"/*.deb; do
  echo "== $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Depends Section
done
echo "== lintian"
# Errors and warnings fail the run. Two kinds of note (I:) remain and are
# accepted: binary-has-unneeded-section .comment (the compiler's version
# string, which CPack's plain strip keeps) and no-symbols-control-file
# (librastkit1 has a shlibs file; a symbols file needs dpkg-gensymbols on a
# Debian source package, which this build does not make).
lintian --fail-on error,warning --display-info "$out"/*.deb
echo "Packages are in $out"
