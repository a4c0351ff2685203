# Helpers the desktop checks share; sourced by their scripts.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Writes the bytes given as decimal numbers.
bytes() {
  for b in "$@"; do printf "\\$(printf %03o "$b")"; done
}
le16() { bytes $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
be32() { bytes $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }

# "WIDTH HEIGHT" of a PNG file from its IHDR chunk; nothing when it is no PNG.
png_size() {
  set -- $(od -An -tu1 -N24 "$1" 2>/dev/null)
  [ $# -eq 24 ] || return 1
  [ "$1 $2 $3 $4 $5 $6 $7 $8" = "137 80 78 71 13 10 26 10" ] || return 1
  [ "${13} ${14} ${15} ${16}" = "73 72 68 82" ] || return 1  # IHDR
  echo "$(((${17} << 24) | (${18} << 16) | (${19} << 8) | ${20})) $(((${21} << 24) | (${22} << 16) | (${23} << 8) | ${24}))"
}

# The headers of an uncompressed BMP of WIDTH x HEIGHT at BITS (8 or 24)
# bits a pixel; an 8-bit one's colour table follows them.
bmp_header() {
  stride=$((($1 * $3 / 8 + 3) / 4 * 4)) table=0
  [ "$3" -eq 8 ] && table=1024
  bytes 66 77; le32 $((54 + table + stride * $2)); le32 0; le32 $((54 + table))
  le32 40; le32 "$1"; le32 "$2"; le16 1; le16 "$3"; le32 0; le32 $((stride * $2)); le32 2835; le32 2835; le32 0; le32 0
}

# A 24-bit BMP of WIDTH x HEIGHT in horizontal stripes of colour.
make_bmp() {
  bmp_header "$1" "$2" 24
  stride=$((($1 * 3 + 3) / 4 * 4))
  y=0
  while [ $y -lt "$2" ]; do
    x=0
    while [ $x -lt "$1" ]; do bytes $((y * 40 % 256)) 90 $((255 - y * 40 % 256)); x=$((x + 1)); done
    x=$(($1 * 3))
    while [ $x -lt "$stride" ]; do bytes 0; x=$((x + 1)); done
    y=$((y + 1))
  done
}

# A BMP of WIDTH x HEIGHT at BITS bits a pixel, its colours (and table) noise.
make_noise_bmp() {
  bmp_header "$1" "$2" "$3"
  stride=$((($1 * $3 / 8 + 3) / 4 * 4))
  [ "$3" -eq 8 ] && head -c 1024 /dev/urandom
  head -c $((stride * $2)) /dev/urandom
}
