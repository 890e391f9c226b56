#!/bin/sh
# corvid-convert throughput with one and with two jobs on 200 files:
#   bench/convert_jobs.sh [path/to/corvid-convert]
# Two sets: the CAM samples (480 x 360) converted to JPEG, and 2-megapixel
# JPEGs (written by cjpeg, a peer used here only to make inputs) encoded
# anew (--always-compress). Each set runs three times per job count; the
# best wall-clock time counts. The ratio is time(-j 1) / time(-j 2): on two
# free cores, 2.0 is the ceiling.
set -eu
bin=${1:-build-app/app/cli/corvid-convert}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/cam" "$work/jpg" "$work/out"
i=0
while [ $i -lt 200 ]; do
  for s in "$root"/samples/*.cam; do
    [ $i -lt 200 ] && cp "$s" "$work/cam/f$i.cam"
    i=$((i + 1))
  done
done
python3 - "$work/src.ppm" <<'PY'
import math, random, sys
w, h = 1632, 1224
random.seed(7)
rows = bytearray()
for y in range(h):
    for x in range(w):
        g = random.randint(-12, 12)
        rows += bytes((max(0, min(255, int(90 + 120 * x / w + 30 * math.sin(y / 40)) + g)),
                       max(0, min(255, int(70 + 100 * y / h + 40 * math.sin((x + y) / 60)) + g)),
                       max(0, min(255, int(150 - 80 * x * y / (w * h)) + g))))
with open(sys.argv[1], 'wb') as f:
    f.write(b'P6\n%d %d\n255\n' % (w, h) + rows)
PY
cjpeg -quality 90 -sample 2x1 "$work/src.ppm" > "$work/src.jpg"
i=0
while [ $i -lt 200 ]; do cp "$work/src.jpg" "$work/jpg/f$i.jpg"; i=$((i + 1)); done

now() { date +%s.%N; }
best() {  # best of three wall-clock runs: best <jobs> <args...>
  jobs=$1; shift
  b=""
  for r in 1 2 3; do
    rm -f "$work"/out/*
    t0=$(now)
    "$bin" -j "$jobs" --quiet -o "$work/out" "$@"
    t=$(echo "$(now) - $t0" | bc)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}

echo "load: $(uptime)"
for set in cam jpg; do
  if [ $set = cam ]; then args="-t jpg"; else args="-t jpg --always-compress"; fi
  # shellcheck disable=SC2086
  t1=$(best 1 $args "$work/$set"/*)
  # shellcheck disable=SC2086
  t2=$(best 2 $args "$work/$set"/*)
  printf '%-4s 200 files: -j 1 %.2f s (%.1f files/s), -j 2 %.2f s (%.1f files/s), ratio %.2f\n' \
    "$set" "$t1" "$(echo "200 / $t1" | bc -l)" "$t2" "$(echo "200 / $t2" | bc -l)" "$(echo "$t1 / $t2" | bc -l)"
done
