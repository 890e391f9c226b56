#!/usr/bin/env bash
# Starts corvid on a virtual X server (Xvfb) browsing a folder and saves a
# PNG of its window. The folder's pictures are copied into a temporary
# folder together with a text file, which browsing passes over; corvid
# opens the first file in natural name order and Space is pressed STEPS
# times, each time waiting for the next picture's title. The program gets a
# profile store of its own in a temporary folder, so the window has its
# default size and zoom (Fit to Window) and the user's settings are neither
# read nor written.
#
# Usage: tools/screenshot.sh [BUILD-DIR [OUTPUT.png [FOLDER [STEPS]]]]
#   BUILD-DIR  where corvid was built (default: build)
#   OUTPUT     default: docs/corvid-window.png
#   FOLDER     default: samples (its *.cam files)
#   STEPS      default: 1 (from colour_chart.cam to jpeg_section.cam, the
#              photo scene at 640 x 480, fitted to the window)
# Needs Xvfb, xdotool, xwd and ImageMagick's convert (tools/install-deps.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/corvid-window.png}
folder=${3:-$root/samples}
steps=${4:-1}
corvid=$build/app/ui/corvid

for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" > /dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
done
[ -x "$corvid" ] || { echo "screenshot.sh: no $corvid (build the corvid target)" >&2; exit 1; }
[ -d "$folder" ] || { echo "screenshot.sh: no folder $folder" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid='' corvid_pid=''
cleanup() {
  [ -n "$corvid_pid" ] && kill "$corvid_pid" 2> /dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/pictures"
find "$folder" -maxdepth 1 -type f -iname '*.cam' -exec cp {} "$work/pictures/" \;
echo "notes from the shoot" > "$work/pictures/notes.txt"
first=$(cd "$work/pictures" && ls | sort -V | head -n1)
[ -n "$first" ] || { echo "screenshot.sh: no pictures in $folder" >&2; exit 1; }

# Xvfb picks a free display number and writes it to the pipe.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshot.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$corvid" "$work/pictures/$first" > "$work/corvid.log" 2>&1 &
corvid_pid=$!

# The window's title: "NAME (W × H, ZOOM%) - Corvid"; its zoom may still
# change as the window is laid out, so a step is done when the NAME is new.
window='' title=''
wait_for_title() {  # $1: a picture name the title must no longer start with
  for _ in $(seq 200); do
    kill -0 "$corvid_pid" 2> /dev/null || { echo "screenshot.sh: corvid ended" >&2; cat "$work/corvid.log" >&2; exit 1; }
    [ -n "$window" ] || window=$(xdotool search --name ' - Corvid$' 2> /dev/null | head -n1 || true)
    if [ -n "$window" ]; then
      title=$(xdotool getwindowname "$window" 2> /dev/null || true)
      [ -n "$title" ] && [ "${title%% (*}" != "$1" ] && return 0
    fi
    sleep 0.1
  done
  echo "screenshot.sh: no new corvid window title (still \"$1\")" >&2
  exit 1
}
wait_for_title ''
xdotool windowfocus --sync "$window"
for _ in $(seq "$steps"); do
  xdotool key space
  wait_for_title "${title%% (*}"
done
# Let the paint land and the title settle.
sleep 1
title=$(xdotool getwindowname "$window")

xwd -silent -id "$window" > "$work/window.xwd"
mkdir -p "$(dirname "$out")"
convert "xwd:$work/window.xwd" "png:$out"
echo "$out: $title"
