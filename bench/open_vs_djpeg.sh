#!/bin/bash
# Opening a photo as the program does, against djpeg doing a like job, in one
# run: `zudizar --convert photo.jpg out.bmp` (palette rule, decode, mapping,
# BMP file) against `djpeg -dither none -map pal.ppm -bmp` (libjpeg-turbo
# decoding and mapping to a fixed 256-colour palette). Whole-process
# processor time (user + system), the best of a few runs, for a baseline
# 4:2:0 photo and a progressive one of 3072 x 3072. Also prints the colours'
# quality: the opened picture's PSNR against the decoded photo, beside
# ImageMagick's `+dither -colors 236` and djpeg's mapping to the unchanged
# palette.
#
# Usage: bench/open_vs_djpeg.sh [zudizar binary] [side]
# Needs: a release build, ImageMagick, cjpeg and djpeg, python3.
set -euo pipefail
zudizar=$(realpath "${1:-build/release/app/zudizar}")
side=${2:-3072}
runs=5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZUDIZAR_HOME="$work/home" QT_QPA_PLATFORM=offscreen
mkdir -p "$ZUDIZAR_HOME"

# A noisy photo-like picture: plasma with grain.
convert -seed 7 -size "${side}x${side}" plasma:fractal -attenuate 0.4 +noise Gaussian "ppm:$work/photo.ppm"
cjpeg -quality 90 -sample 2x2 -outfile "$work/baseline.jpg" "$work/photo.ppm"
cjpeg -quality 90 -sample 2x2 -progressive -outfile "$work/progressive.jpg" "$work/photo.ppm"

# The program's unchanged palette as a PPM for djpeg: the colour table of a
# one-pixel picture saved with it.
convert -size 1x1 xc:black "bmp3:$work/black.bmp"
"$zudizar" --convert "$work/black.bmp" "$work/table.bmp"
python3 - "$work/table.bmp" "$work/pal.ppm" <<'EOF'
import sys
bmp = open(sys.argv[1], 'rb').read()
table = bmp[54:54 + 1024]
rgb = b''.join(bytes((table[i + 2], table[i + 1], table[i])) for i in range(0, 1024, 4))
open(sys.argv[2], 'wb').write(b'P6\n256 1\n255\n' + rgb)
EOF

# Best processor time of $runs runs of a command, in seconds.
cpu() {
  local best=""
  for _ in $(seq $runs); do
    local t
    /usr/bin/time -o "$work/time" -f '%U %S' "$@" >/dev/null 2>&1
    t=$(awk '{print $1 + $2}' "$work/time")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
  done
  echo "$best"
}

psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 | awk '{print $1}'; }

printf '%-12s %10s %10s %7s\n' picture zudizar djpeg ratio
for kind in baseline progressive; do
  jpg="$work/$kind.jpg"
  ours=$(cpu "$zudizar" --convert "$jpg" "$work/ours.bmp")
  theirs=$(cpu djpeg -dither none -map "$work/pal.ppm" -bmp -outfile "$work/djpeg.bmp" "$jpg")
  printf '%-12s %9.3fs %9.3fs %7.2f\n' "$kind" "$ours" "$theirs" "$(awk "BEGIN{print $ours / $theirs}")"
done

djpeg -nosmooth -dct int -ppm -outfile "$work/decoded.ppm" "$work/baseline.jpg"
"$zudizar" --convert "$work/baseline.jpg" "$work/ours.bmp"
djpeg -nosmooth -dither none -map "$work/pal.ppm" -bmp -outfile "$work/unchanged.bmp" "$work/baseline.jpg"
convert "$work/baseline.jpg" +dither -colors 236 "$work/magick.png"
echo "PSNR against the decoded photo:"
echo "  opened by zudizar                    $(psnr "$work/decoded.ppm" "$work/ours.bmp") dB"
echo "  ImageMagick +dither -colors 236      $(psnr "$work/decoded.ppm" "$work/magick.png") dB"
echo "  djpeg to the unchanged palette       $(psnr "$work/decoded.ppm" "$work/unchanged.bmp") dB"
