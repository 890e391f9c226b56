#!/bin/sh
# check_samples.sh MAKESAMPLES SAMPLES_DIR: the generator re-creates every
# bundled sample byte for byte.
set -eu
tool=$1
samples=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tool" "$tmp" >/dev/null
count=0
for f in "$tmp"/*.cam; do
  cmp "$f" "$samples/$(basename "$f")"
  count=$((count + 1))
done
[ "$count" -gt 0 ]
echo "$count samples re-created identically"
