#!/bin/sh
# Writes the seed corpus of the progressive decoder: small progressive
# streams from libjpeg-turbo's cjpeg (default script, successive
# approximation, one-component DC scans, restart intervals in blocks and
# rows; 4:2:0, 4:2:2, 4:4:4, grey, RGB), a sequential stream in several
# scans, and a rewrite in the writer's own scan script. Run from the
# repository root; needs cjpeg, jpegtran (libjpeg-turbo-progs) and python3.
set -eu
out=fuzz/corpus/prog_decode
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp" <<'PY'
import math, sys
for w, h in ((1, 1), (17, 9), (33, 18)):
    px = bytearray()
    for y in range(h):
        for x in range(w):
            px += bytes((int(127 + 120 * math.sin(x / 3.0)), (x * 7 + y * 13) % 256, (y * 29) % 256))
    with open(f"{sys.argv[1]}/p{w}x{h}.ppm", "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + px)
PY
cat > "$tmp/sa.txt" <<'S'
0,1,2: 0-0, 0, 2; 0: 1-2, 0, 1; 0: 3-63, 0, 2; 1: 1-63, 0, 1; 2: 1-63, 0, 1;
0,1,2: 0-0, 2, 1; 0: 3-63, 2, 1; 0: 1-63, 1, 0; 1: 1-63, 1, 0; 2: 1-63, 1, 0; 0,1,2: 0-0, 1, 0;
S
cat > "$tmp/dcsplit.txt" <<'S'
0: 0-0, 0, 1; 1,2: 0-0, 0, 1; 0: 1-63, 0, 0; 1: 1-63, 0, 0; 2: 1-63, 0, 0; 2: 0-0, 1, 0; 0,1: 0-0, 1, 0;
S
cat > "$tmp/sequential.txt" <<'S'
0; 1; 2;
S
cat > "$tmp/ours.txt" <<'S'
0,1,2: 0-0, 0, 0; 1: 1-5, 0, 0; 2: 1-5, 0, 0; 0: 1-5, 0, 0; 1: 6-63, 0, 0; 2: 6-63, 0, 0; 0: 6-63, 0, 0;
S
n=0
for src in "$tmp"/*.ppm; do
  base=$(basename "$src" .ppm)
  for opts in "-progressive -sample 2x2" "-progressive -sample 2x1 -restart 1B" \
              "-progressive -sample 1x1 -restart 1" "-progressive -grayscale -restart 2B" \
              "-progressive -rgb" "-scans $tmp/sa.txt -sample 2x1" "-scans $tmp/dcsplit.txt -restart 3B" \
              "-scans $tmp/sequential.txt -sample 2x2"; do
    name=$(echo "$opts" | sed "s|$tmp/||; s|\.txt||" | tr -d ' -')
    cjpeg -quality 80 $opts "$src" > "$out/${base}_${name}.jpg"
    n=$((n + 1))
  done
  cjpeg -quality 90 "$src" | jpegtran -optimize -scans "$tmp/ours.txt" > "$out/${base}_ourscript.jpg"
  n=$((n + 1))
done
echo "wrote $n streams to $out"
