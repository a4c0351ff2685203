#!/bin/sh
# The thumbnailer through the real program.
#   thumbnail_check.sh corpus ZUDIZAR CORPUS_DIR WORK_DIR
#     pictures of each format from the corpus; exits 77 (skipped) without it
#   thumbnail_check.sh refuse ZUDIZAR CORPUS_DIR WORK_DIR
#     bad sizes, bad, cut and huge-claiming files, made here
#   thumbnail_check.sh budget ZUDIZAR CORPUS_DIR WORK_DIR
#     the largest pictures allowed, within 256 MB of address space; only for
#     a program built without sanitizers, which reserve far more than that
set -u
mode=$1 zudizar=$2 corpus=$3 work=$4
. "$(dirname "$0")/common.sh"

rm -rf "$work"
mkdir -p "$work/out" "$work/in"
export ZUDIZAR_HOME="$work/home"
out="$work/out/thumbnail.png"

# IN SIZE WIDTH HEIGHT: a PNG of exactly that size.
expect_thumbnail() {
  rm -f "$out"
  if ! "$zudizar" --thumbnail "$1" "$out" "$2" 2>"$work/stderr"; then
    fail "$1 at $2: exit $(cat "$work/stderr")"
    return
  fi
  got=$(png_size "$out") || got="no PNG"
  [ "$got" = "$3 $4" ] || fail "$1 at $2: $got, not $3 $4"
}

# IN SIZE: a non-zero exit, one line on stderr, OUT left as it was and no
# temporary beside it.
expect_refused() {
  printf 'old' >"$out"
  if "$zudizar" --thumbnail "$1" "$out" "$2" 2>"$work/stderr"; then
    fail "$1 at $2: accepted"
  fi
  [ "$(wc -l <"$work/stderr")" -eq 1 ] && grep -q '^zudizar: .' "$work/stderr" ||
    fail "$1 at $2: not one message line: $(cat "$work/stderr")"
  [ "$(cat "$out")" = old ] || fail "$1 at $2: OUT was changed"
  [ "$(ls -A "$work/out")" = thumbnail.png ] || fail "$1 at $2: left $(ls -A "$work/out")"
  rm -f "$out"
}

case $mode in
corpus)
  [ -d "$corpus/mag" ] || { echo "corpus absent: $corpus"; exit 77; }
  expect_thumbnail "$corpus/mag/pymag_256c_640x400.mag" 128 128 80
  expect_thumbnail "$corpus/mag/pymag_16c_256x160.mag" 100 100 63
  expect_thumbnail "$corpus/mag/pymag_16c_72x40.mag" 128 72 40  # smaller: kept as it is
  expect_thumbnail "$corpus/jpeg/ljt_testorig.jpg" 128 128 84
  expect_thumbnail "$corpus/png/imagepng_lorem_ipsum_oxipng.png" 256 256 146
  expect_thumbnail "$corpus/png/basn2c08.png" 128 32 32
  expect_thumbnail "$corpus/bmp/im_shira_pal8.bmp" 48 48 36
  expect_thumbnail "$corpus/ico/im_testorig_32.ico" 16 16 16
  # Its signature, not its name, makes a file a MAG picture.
  cp "$corpus/mag/pymag_256c_100x56.mag" "$work/in/no-extension"
  expect_thumbnail "$work/in/no-extension" 50 50 28
  ;;
refuse)
  make_bmp 6 4 >"$work/in/stripes.bmp"
  expect_thumbnail "$work/in/stripes.bmp" 3 3 2
  expect_thumbnail "$work/in/stripes.bmp" 2048 6 4
  cp "$out" "$work/in/good.png"

  for size in 0 2049 -1 12a '' ' 64'; do expect_refused "$work/in/stripes.bmp" "$size"; done
  expect_refused "$work/in/missing.bmp" 64
  expect_refused "$work/in" 64  # a folder

  yes 'not a picture' | head -c 3000 >"$work/in/garbage.png"
  cp "$work/in/garbage.png" "$work/in/garbage.bmp"
  : >"$work/in/empty.jpg"
  head -c 60 "$work/in/good.png" >"$work/in/cut.png"
  { printf 'MAKI02  user'; bytes 26 0 0 0 128; } >"$work/in/cut.mag"  # cut inside its header
  for f in garbage.png garbage.bmp empty.jpg cut.png cut.mag; do expect_refused "$work/in/$f" 128; done

  # Headers that claim 65535 x 65535 pixels in a file of a few bytes.
  { bytes 137 80 78 71 13 10 26 10; be32 13; printf IHDR; be32 65535; be32 65535; bytes 8 2 0 0 0 0 0 0 0; } \
    >"$work/in/huge.png"
  { bytes 66 77; le32 1100; le32 0; le32 1078; le32 40; le32 65535; le32 65535; le16 1; le16 8
    le32 0; le32 0; le32 0; le32 0; le32 0; le32 0; head -c 1040 /dev/zero; } >"$work/in/huge.bmp"
  { printf 'MAKI02  user'; bytes 26 0 0 0 128; le16 0; le16 0; le16 65534; le16 65534
    le32 800; le32 900; le32 8; le32 908; le32 8; head -c 900 /dev/zero; } >"$work/in/huge.mag"
  { bytes 255 216 255 192 0 17 8 255 255 255 255 3 1 17 0 2 17 0 3 17 0 255 217; } >"$work/in/huge.jpg"
  for f in huge.png huge.bmp huge.mag huge.jpg; do expect_refused "$work/in/$f" 128; done
  ;;
budget)
  make_noise_bmp 4096 4096 8 >"$work/in/largest.bmp"
  make_noise_bmp 3300 3300 24 >"$work/in/truecolour.bmp"  # within 32 MB
  for f in png jpg mag; do
    "$zudizar" --convert "$work/in/largest.bmp" "$work/in/largest.$f" || fail "--convert to $f"
  done
  ulimit -v 262144
  for f in largest.bmp largest.png largest.jpg largest.mag; do expect_thumbnail "$work/in/$f" 256 256 256; done
  expect_thumbnail "$work/in/truecolour.bmp" 1000 1000 1000
  ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "thumbnail checks ($mode) passed"
