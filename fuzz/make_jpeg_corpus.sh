#!/bin/sh
# Writes the JPEG seed corpus: small streams from libjpeg-turbo's cjpeg in
# every sampling the decoder handles, with restart intervals, optimised
# tables, a comment, grey and RGB colour. Run from the repository root;
# needs cjpeg and wrjpgcom (libjpeg-turbo-progs) and python3.
set -eu
out=fuzz/corpus/jpeg
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp" <<'PY'
import math, sys
for w, h in ((1, 1), (9, 7), (17, 9), (24, 16), (33, 18)):
    px = bytearray()
    for y in range(h):
        for x in range(w):
            px += bytes((int(127 + 120 * math.sin(x / 3.0)), (x * 7 + y * 13) % 256, (y * 29) % 256))
    with open(f"{sys.argv[1]}/p{w}x{h}.ppm", "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + px)
PY
n=0
for src in "$tmp"/*.ppm; do
  base=$(basename "$src" .ppm)
  for opts in "-quality 75 -sample 2x2" "-quality 90 -sample 2x1 -restart 1B" \
              "-quality 50 -sample 1x1 -optimize" "-quality 80 -grayscale -restart 2B" \
              "-quality 95 -sample 1x2" "-quality 70 -rgb"; do
    name=$(echo "$opts" | tr -d ' -' )
    cjpeg $opts "$src" > "$out/${base}_${name}.jpg"
    n=$((n + 1))
  done
  # A comment holding marker bytes (wrjpgcom puts it after the APP0).
  cjpeg -quality 85 "$src" | wrjpgcom -comment "$(printf 'corvid \377\331 end')" > "$out/${base}_comment.jpg"
  n=$((n + 1))
done
echo "wrote $n streams to $out"
