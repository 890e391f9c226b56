#!/usr/bin/env bash
# Starts corvid on a virtual X server (Xvfb) with one of the bundled
# samples and saves a PNG of its window. The program gets a profile store of
# its own in a temporary folder, so the window has its default size and the
# user's settings are neither read nor written.
#
# Usage: tools/screenshot.sh [BUILD-DIR [OUTPUT.png [PICTURE]]]
#   BUILD-DIR  where corvid was built (default: build)
#   OUTPUT     default: docs/corvid-window.png
#   PICTURE    default: samples/photo_scene.cam
# Needs Xvfb, xwininfo, xwd and ImageMagick's convert (tools/install-deps.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/corvid-window.png}
picture=${3:-$root/samples/photo_scene.cam}
corvid=$build/app/ui/corvid

for tool in Xvfb xwininfo xwd convert; do
  command -v "$tool" > /dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
done
[ -x "$corvid" ] || { echo "screenshot.sh: no $corvid (build the corvid target)" >&2; exit 1; }
[ -f "$picture" ] || { echo "screenshot.sh: no $picture" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid='' corvid_pid=''
cleanup() {
  [ -n "$corvid_pid" ] && kill "$corvid_pid" 2> /dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to the pipe.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshot.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

title="$(basename "$picture") - Corvid"
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$corvid" "$picture" > "$work/corvid.log" 2>&1 &
corvid_pid=$!
for _ in $(seq 200); do
  xwininfo -name "$title" > /dev/null 2>&1 && break
  kill -0 "$corvid_pid" 2> /dev/null || { echo "screenshot.sh: corvid ended" >&2; cat "$work/corvid.log" >&2; exit 1; }
  sleep 0.1
done
xwininfo -name "$title" > /dev/null 2>&1 || { echo "screenshot.sh: no window \"$title\"" >&2; exit 1; }
# Let the first paint land.
sleep 1

xwd -silent -name "$title" > "$work/window.xwd"
mkdir -p "$(dirname "$out")"
convert "xwd:$work/window.xwd" "png:$out"
echo "$out"
