#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the desktop
# integration: the files are where the desktop looks for them, and the
# installed MIME package makes CAM files known by content and by name.
# Usage: check_install.sh BUILD-DIR MIME-CHECK CAM-FILE
set -euo pipefail
build=$1 mime_check=$2 cam=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/corvid share/applications/corvid.desktop share/mime/packages/corvid.xml \
         share/icons/hicolor/scalable/apps/corvid.svg; do
  if [ ! -f "$prefix/$f" ]; then
    echo "missing after install: $f" >&2
    exit 1
  fi
done
[ -x "$prefix/bin/corvid" ] || { echo "bin/corvid is not executable" >&2; exit 1; }
desktop=$prefix/share/applications/corvid.desktop
grep -qx 'Exec=corvid %f' "$desktop"
# The desktop file offers the program for the CAM type the MIME package
# defines, and for JPEG and TIFF.
cam_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/corvid.xml")
mime_line=$(grep '^MimeType=' "$desktop")
for type in "$cam_type" image/jpeg image/tiff; do
  case ";${mime_line#MimeType=}" in
    *";$type;"*) ;;
    *) echo "corvid.desktop does not list $type: $mime_line" >&2; exit 1 ;;
  esac
done
# The installed program finds the installed library and starts.
version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/corvid" --version)
case "$version" in
  "corvid "[0-9]*) ;;
  *) echo "installed corvid --version said: $version" >&2; exit 1 ;;
esac

update-mime-database "$prefix/share/mime"
mkdir -p "$prefix/home"
XDG_DATA_HOME="$prefix/home" XDG_DATA_DIRS="$prefix/share" "$mime_check" "$cam"
