#!/bin/sh
# Compares the dynamic symbols that librastkit.so defines with the
# checked-in list: nothing internal may leak, nothing listed may be missing.
set -eu
lib=$1
expected=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | LC_ALL=C sort -u)
if ! diff -u "$expected" - <<EOT
$actual
EOT
then
  echo "exported symbols of $lib differ from $expected" >&2
  exit 1
fi
echo "exports match ($(printf '%s\n' "$actual" | wc -l) symbols)"
