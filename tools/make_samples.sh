#!/bin/sh
# Re-creates samples/*.cam from the procedural pictures, and the small seed
# files of the CAM fuzz target (byte for byte the same files every time; the
# ctest samples_reproducible checks the samples).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-samples -G Ninja -DCMAKE_BUILD_TYPE=Release -DRK_TESTS=OFF >/dev/null
cmake --build build-samples -j2 --target rk-makesamples
mkdir -p samples fuzz/corpus/cam
./build-samples/tools/rk-makesamples samples fuzz/corpus/cam
cp samples/colour_chart.cam fuzz/corpus/cam/
