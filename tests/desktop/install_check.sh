#!/bin/sh
# Installs the build into a scratch prefix and checks what a desktop reads
# there, with the desktop's own tools.
#   install_check.sh BUILD_DIR CORPUS_DIR WORK_DIR
set -u
build=$1 corpus=$2 work=$3
. "$(dirname "$0")/common.sh"
id=io.github.zudizar.Zudizar

for tool in desktop-file-validate appstreamcli update-mime-database xdg-mime mimetype; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing (tools/test installs it)" >&2; exit 1; }
done

rm -rf "$work"
prefix="$work/prefix"
share="$prefix/share"
cmake --install "$build" --prefix "$prefix" >"$work.log" 2>&1 || { cat "$work.log" >&2; exit 1; }
export ZUDIZAR_HOME="$work/home"

[ -x "$prefix/bin/zudizar" ] || fail "bin/zudizar is not installed"
# Where the Help command looks beside the program.
[ -f "$prefix/bin/../share/doc/zudizar/ZUDIZAR.html" ] || fail "the manual is not in share/doc/zudizar"
for f in "applications/$id.desktop" "metainfo/$id.metainfo.xml" "mime/packages/$id.xml" \
  "thumbnailers/$id.thumbnailer" "icons/hicolor/scalable/apps/$id.svg"; do
  [ -f "$share/$f" ] || fail "share/$f is not installed"
done
for size in 16 24 32 48 64 128 256; do
  got=$(png_size "$share/icons/hicolor/${size}x$size/apps/$id.png") || got="no PNG"
  [ "$got" = "$size $size" ] || fail "the ${size}x$size icon is $got"
done

# The validators print nothing for a clean file.
report=$(desktop-file-validate "$share/applications/$id.desktop" 2>&1) && [ -z "$report" ] ||
  fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $report"
grep -qx "Icon=$id" "$share/applications/$id.desktop" || fail "the menu entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$id.metainfo.xml" ||
  fail "the metadata launches another menu entry"

# The MAG type, through the scratch database only. xdg-mime picks its method
# by desktop: under GNOME or KDE it asks their tools, and with none it falls
# back to `file`, which knows only libmagic's types. X-Generic makes it ask
# `mimetype` (File::MimeInfo), which reads the shared MIME database from the
# XDG data folders.
update-mime-database "$share/mime" || fail "update-mime-database"
export XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share:/usr/share" XDG_CURRENT_DESKTOP=X-Generic
mkdir -p "$work/in"
make_bmp 16 10 >"$work/in/stripes.bmp"
"$prefix/bin/zudizar" --convert "$work/in/stripes.bmp" "$work/in/made.mag" || fail "--convert to MAG"
mags="$work/in/made.mag"
if [ -d "$corpus/mag" ]; then
  mags="$mags $corpus/mag/pymag_16c_640x400.mag"
else
  echo "corpus absent: checking the program's own MAG file only"
fi
head -c 64 /dev/zero >"$work/in/NAME-ONLY.MAG"  # the glob alone, which ignores case
cp "$work/in/made.mag" "$work/in/no-extension"  # the signature alone
for f in $mags "$work/in/NAME-ONLY.MAG" "$work/in/no-extension"; do
  got=$(xdg-mime query filetype "$f")
  [ "$got" = image/x-mag ] || fail "xdg-mime query filetype $f: '$got'"
done

# The thumbnailer entry as a file manager runs it: %i, %o and %s filled in,
# the program found on PATH.
entry="$share/thumbnailers/$id.thumbnailer"
grep -q '^MimeType=.*image/x-mag;' "$entry" || fail "the thumbnailer does not take image/x-mag"
tryexec=$(sed -n 's/^TryExec=//p' "$entry")
exec_line=$(sed -n 's/^Exec=//p' "$entry")
PATH="$prefix/bin:$PATH"
[ "$(command -v "$tryexec")" = "$prefix/bin/zudizar" ] || fail "TryExec=$tryexec is not the installed program"
out="$work/thumbnail.png"
set -f
set -- $exec_line
set +f
command=""
for word in "$@"; do
  case $word in
  %i) word="$work/in/made.mag" ;;
  %o) word="$out" ;;
  %s) word=8 ;;
  esac
  command="$command '$word'"
done
eval "$command" || fail "the thumbnailer's Exec line failed: $command"
got=$(png_size "$out") || got="no PNG"
[ "$got" = "8 5" ] || fail "the thumbnailer's Exec line made $got, not 8 5"

[ "$failures" -eq 0 ] || exit 1
echo "install checks passed"
