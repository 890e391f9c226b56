#!/usr/bin/env bash
# Installs the build into a temporary prefix, and its Debian packages into a
# temporary root (dpkg -x), and checks both layouts: the files are where the
# desktop looks for them, the installed MIME package makes CAM files known
# by content and by name, the thumbnailer entry runs the installed
# thumbnailer, a Qt program finds the installed image plugin, and the
# library builds against its pkg-config file.
# Usage: check_install.sh BUILD-DIR MIME-CHECK CAM-FILE PLUGIN-CHECK
set -euo pipefail
build=$1 mime_check=$2 cam=$3 plugin_check=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QT_PLUGIN_PATH

fail() {
  echo "$*" >&2
  exit 1
}

# The one file under ROOT whose path matches PATTERN.
find_one() {
  local found
  found=$(find "$1" -path "$2" \( -type f -o -type l \))
  [ "$(printf '%s\n' "$found" | grep -c .)" -eq 1 ] || fail "expected one $2 under $1, found: $found"
  printf '%s\n' "$found"
}

# check_tree PREFIX: the program, the library and their desktop files.
check_tree() {
  local prefix=$1 f
  for f in bin/corvid bin/corvid-convert bin/corvid-thumbnailer \
           share/applications/corvid.desktop share/mime/packages/corvid.xml \
           share/icons/hicolor/scalable/apps/corvid.svg share/thumbnailers/corvid.thumbnailer \
           share/man/man1/corvid.1.gz share/man/man1/corvid-convert.1.gz \
           share/man/man1/corvid-thumbnailer.1.gz include/rastkit/rastkit.h; do
    [ -f "$prefix/$f" ] || fail "missing after install: $f"
  done
  for f in corvid corvid-convert corvid-thumbnailer; do
    [ -x "$prefix/bin/$f" ] || fail "bin/$f is not executable"
    gzip -t "$prefix/share/man/man1/$f.1.gz" || fail "$f.1.gz is not a gzip file"
  done
  local lib libdir soname
  lib=$(find_one "$prefix" '*/librastkit.so.1')
  libdir=$(dirname "$lib")
  [ -L "$libdir/librastkit.so" ] || fail "no librastkit.so link beside $lib"
  [ "$(readlink "$libdir/librastkit.so")" = librastkit.so.1 ] || fail "librastkit.so does not point at librastkit.so.1"
  soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
  [ "$soname" = librastkit.so.1 ] || fail "SONAME of $lib is '$soname'"
  find_one "$prefix" '*/qt6/plugins/imageformats/libcorvid_cam.so' > /dev/null
  [ -f "$libdir/pkgconfig/rastkit.pc" ] || fail "no pkgconfig/rastkit.pc in $libdir"

  # The installed program finds the installed library and starts.
  local version
  version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/corvid" --version)
  case "$version" in
    "corvid "[0-9]*) ;;
    *) fail "installed corvid --version said: $version" ;;
  esac
}

# check_desktop PREFIX: the desktop entry offers the program for the CAM
# type the MIME package defines, and for JPEG and TIFF.
check_desktop() {
  local prefix=$1 desktop=$1/share/applications/corvid.desktop cam_type mime_line type
  grep -qx 'Exec=corvid %f' "$desktop" || fail "corvid.desktop: unexpected Exec line"
  cam_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/corvid.xml")
  mime_line=$(grep '^MimeType=' "$desktop")
  for type in "$cam_type" image/jpeg image/tiff; do
    case ";${mime_line#MimeType=}" in
      *";$type;"*) ;;
      *) fail "corvid.desktop does not list $type: $mime_line" ;;
    esac
  done
}

# check_thumbnailer PREFIX: the entry names the installed thumbnailer for
# the CAM type, and running its Exec line as a file manager does (%s the
# size, %i the input path, %o the output path) writes the PNG.
check_thumbnailer() {
  local prefix=$1 entry=$1/share/thumbnailers/corvid.thumbnailer cam_type exec words word
  [ "$(head -n 1 "$entry")" = "[Thumbnailer Entry]" ] || fail "$entry: no [Thumbnailer Entry] group"
  cam_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/corvid.xml")
  grep -qx "MimeType=$cam_type;" "$entry" || fail "$entry does not name $cam_type"
  grep -qx 'TryExec=corvid-thumbnailer' "$entry" || fail "$entry: unexpected TryExec"
  exec=$(sed -n 's/^Exec=//p' "$entry")
  [ "$exec" = 'corvid-thumbnailer -s %s %i %o' ] || fail "$entry: unexpected Exec=$exec"
  local out=$work/thumb.png args=()
  rm -f "$out"
  read -r -a words <<< "$exec"
  for word in "${words[@]:1}"; do
    case "$word" in
      %s) args+=(256) ;;
      %i) args+=("$cam") ;;
      %o) args+=("$out") ;;
      *) args+=("$word") ;;
    esac
  done
  "$prefix/bin/${words[0]}" "${args[@]}" || fail "the installed thumbnailer failed"
  [ "$("$plugin_check" "$out")" = "png 256x192" ] || fail "thumbnail is not a 256x192 PNG"
}

# check_plugin PREFIX: a Qt program that looks for plugins only under the
# installed Qt plugin folder reads a CAM file without extension through the
# installed plugin (which finds the installed library by itself).
check_plugin() {
  local plugin plugins got
  plugin=$(find_one "$1" '*/qt6/plugins/imageformats/libcorvid_cam.so')
  plugins=$(dirname "$(dirname "$plugin")")
  cp "$cam" "$work/picture"
  got=$(QT_PLUGIN_PATH=$plugins "$plugin_check" "$work/picture") || fail "the installed plugin did not read $cam"
  [ "$got" = "cam 480x360" ] || fail "installed plugin read: $got"
}

# check_pkgconfig PREFIX: a C program builds against the installed header
# and library through rastkit.pc (and runs, unless the library was built
# with the sanitizers, whose runtime must come first in a process).
check_pkgconfig() {
  local pc flags lib
  pc=$(find_one "$1" '*/pkgconfig/rastkit.pc')
  flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs rastkit)
  printf '#include "rastkit.h"\nint main(void) { return RkGetCompressBlkSize() > 0 ? 0 : 1; }\n' > "$work/use.c"
  # shellcheck disable=SC2086
  cc "$work/use.c" $flags -o "$work/use" 2> "$work/cc.log" || {
    cat "$work/cc.log" >&2
    fail "cannot build against rastkit.pc: $flags"
  }
  lib=$(find_one "$1" '*/librastkit.so.1')
  if ! objdump -p "$lib" | grep -q 'NEEDED.*libasan'; then
    LD_LIBRARY_PATH=$(dirname "$lib") "$work/use" || fail "a program built with rastkit.pc did not run"
  fi
}

# ---- cmake --install into a temporary prefix ------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
check_tree "$prefix"
check_desktop "$prefix"
check_thumbnailer "$prefix"
check_plugin "$prefix"
check_pkgconfig "$prefix"
update-mime-database "$prefix/share/mime"
mkdir -p "$prefix/home"
XDG_DATA_HOME="$prefix/home" XDG_DATA_DIRS="$prefix/share" "$mime_check" "$cam"

# ---- the Debian packages, unpacked with dpkg -x ---------------------------
if ! command -v dpkg-deb > /dev/null || ! command -v dpkg-shlibdeps > /dev/null; then
  echo "dpkg-deb or dpkg-shlibdeps missing: the packages are not checked" >&2
  exit 0
fi
(cd "$build" && cpack -G DEB -B "$work/debs" > "$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
}
version=$("$prefix/bin/corvid-thumbnailer" --version)
version=${version#corvid-thumbnailer }
arch=$(dpkg --print-architecture)
field() { dpkg-deb --field "$1" "$2"; }
declare -A section=([corvid]=graphics [librastkit1]=libs [librastkit-dev]=libdevel)
for pkg in corvid librastkit1 librastkit-dev; do
  deb=$work/debs/${pkg}_${version}_${arch}.deb
  [ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work/debs")"
  [ "$(field "$deb" Package)" = "$pkg" ] || fail "$deb: Package is $(field "$deb" Package)"
  [ "$(field "$deb" Version)" = "$version" ] || fail "$deb: Version is $(field "$deb" Version)"
  [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$deb: Architecture is $(field "$deb" Architecture)"
  [ "$(field "$deb" Section)" = "${section[$pkg]}" ] || fail "$deb: Section is $(field "$deb" Section)"
  [ -n "$(field "$deb" Maintainer)" ] || fail "$deb: no Maintainer"
  [ -n "$(field "$deb" Description)" ] || fail "$deb: no Description"
  contents=$(dpkg-deb --contents "$deb")
  for doc in copyright changelog.gz; do
    grep -q "/usr/share/doc/$pkg/$doc\$" <<< "$contents" || fail "$deb has no $doc"
  done
  dpkg -x "$deb" "$work/root"
done
depends=$(field "$work/debs/corvid_${version}_${arch}.deb" Depends)
case ", $depends," in
  *", librastkit1 (= $version),"*) ;;
  *) fail "corvid does not depend on librastkit1 (= $version): $depends" ;;
esac
case "$depends" in
  *libqt6gui6*) ;;
  *) fail "corvid does not depend on Qt (dpkg-shlibdeps): $depends" ;;
esac
case "$(field "$work/debs/librastkit-dev_${version}_${arch}.deb" Depends)" in
  *"librastkit1 (= $version)"*) ;;
  *) fail "librastkit-dev does not depend on librastkit1 (= $version)" ;;
esac
shlibs=$(dpkg-deb --info "$work/debs/librastkit1_${version}_${arch}.deb" shlibs)
[ "$shlibs" = "librastkit 1 librastkit1 (>= $version)" ] || fail "librastkit1 shlibs: $shlibs"
# Each file in one package: the library only in librastkit1, its link and
# header only in librastkit-dev.
contents=$(dpkg-deb --contents "$work/debs/corvid_${version}_${arch}.deb")
grep -q 'librastkit\|rastkit\.h' <<< "$contents" && fail "corvid ships library files"
contents=$(dpkg-deb --contents "$work/debs/librastkit1_${version}_${arch}.deb")
grep -q 'librastkit\.so \|librastkit\.so$\|rastkit\.h\|\.pc$' <<< "$contents" &&
  fail "librastkit1 ships development files"

check_tree "$work/root/usr"
check_desktop "$work/root/usr"
check_thumbnailer "$work/root/usr"
check_plugin "$work/root/usr"
check_pkgconfig "$work/root/usr"
echo "install layout and packages $version checked"
