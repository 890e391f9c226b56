#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the main job on the
# bundled samples: every samples/*.cam picture is converted, and the results
# land in a fresh folder under out/.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DRK_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)"

out="out/run-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$out"
shopt -s nullglob
cams=(samples/*.cam)
pictures=(samples/*.ppm)

if [ -x build-release/app/cli/corvid-convert ] && [ ${#cams[@]} -gt 0 ]; then
  build-release/app/cli/corvid-convert --to jpg --out "$out" "${cams[@]}"
elif [ -x build-release/tools/rk-camdecode ] && [ ${#cams[@]} -gt 0 ]; then
  for f in "${cams[@]}"; do
    build-release/tools/rk-camdecode "$f" "$out/$(basename "${f%.cam}").bmp"
  done
else
  for f in "${pictures[@]}"; do
    build-release/tools/rk-jpegencode "$f" "$out/$(basename "${f%.ppm}").jpg"
  done
fi

# Thumbnails as file managers make them.
if [ -x build-release/app/thumbnailer/corvid-thumbnailer ]; then
  for f in "${cams[@]}"; do
    build-release/app/thumbnailer/corvid-thumbnailer -s 256 "$f" "$out/$(basename "${f%.cam}").thumb.png"
  done
fi

echo
echo "Results are in $(pwd)/$out"
ls -l "$out"
if [ -d build-release/plugins/imageformats ]; then
  echo
  echo "Any Qt 6 program opens CAM files with the image plugin of this build, e.g.:"
  echo "  QT_PLUGIN_PATH=$(pwd)/build-release/plugins <a Qt image viewer> samples/photo_scene.cam"
fi
