#!/bin/bash
# Opening a photo as the program does, against djpeg doing a like job, in one
# run: `zudizar --convert photo.jpg out.bmp` (palette rule, decode, mapping,
# BMP file) against two references: `djpeg -colors 236 -dither none -bmp`
# (libjpeg-turbo decoding, choosing 236 colours of its own and mapping to
# them: the like job, and the goal's reference) and `djpeg -dither none -map
# pal.ppm -bmp` (decoding and mapping to a fixed 256-colour palette).
# Whole-process processor time (user + system), the median of a few
# interleaved runs, for a baseline 4:2:0 photo and a progressive one of
# 3072 x 3072. Also prints the colours' quality: the opened picture's PSNR
# against the decoded photo, beside djpeg's own 236 colours, ImageMagick's
# `+dither -colors 236` and djpeg's mapping to the unchanged palette.
#
# Usage: bench/open_vs_djpeg.sh [zudizar binary] [side]
# Needs: a release build, ImageMagick, cjpeg and djpeg, python3.
set -euo pipefail
zudizar=$(realpath "${1:-build/release/app/zudizar}")
side=${2:-3072}
runs=${RUNS:-5}
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

# Processor time (user + system) of one run of a command, in seconds.
cpu() {
  /usr/bin/time -o "$work/time" -f '%U %S' "$@" >/dev/null 2>&1
  awk '{print $1 + $2}' "$work/time"
}
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | awk '{print $1}'; }

printf '%-12s %9s %11s %7s %11s %7s\n' picture zudizar 'djpeg -colors' ratio 'djpeg -map' ratio
for kind in baseline progressive; do
  jpg="$work/$kind.jpg"
  : >"$work/ours" && : >"$work/colors" && : >"$work/map"
  # Interleaved, so that a busy spell of the machine hits all three.
  for _ in $(seq $runs); do
    cpu "$zudizar" --convert "$jpg" "$work/ours.bmp" >>"$work/ours"
    cpu djpeg -colors 236 -dither none -bmp -outfile "$work/djpeg.bmp" "$jpg" >>"$work/colors"
    cpu djpeg -dither none -map "$work/pal.ppm" -bmp -outfile "$work/djpeg.bmp" "$jpg" >>"$work/map"
  done
  ours=$(median <"$work/ours") colors=$(median <"$work/colors") map=$(median <"$work/map")
  printf '%-12s %8.3fs %10.3fs %7.2f %10.3fs %7.2f   (zudizar %s s)\n' "$kind" "$ours" "$colors" \
    "$(awk "BEGIN{print $ours / $colors}")" "$map" "$(awk "BEGIN{print $ours / $map}")" \
    "$(sort -g "$work/ours" | tr '\n' ' ')"
done

djpeg -nosmooth -dct int -ppm -outfile "$work/decoded.ppm" "$work/baseline.jpg"
"$zudizar" --convert "$work/baseline.jpg" "$work/ours.bmp"
djpeg -nosmooth -dither none -map "$work/pal.ppm" -bmp -outfile "$work/unchanged.bmp" "$work/baseline.jpg"
djpeg -nosmooth -colors 236 -dither none -bmp -outfile "$work/colors.bmp" "$work/baseline.jpg"
convert "$work/baseline.jpg" +dither -colors 236 "$work/magick.png"
ours_db=$(psnr "$work/decoded.ppm" "$work/ours.bmp")
colors_db=$(psnr "$work/decoded.ppm" "$work/colors.bmp")
echo "PSNR against the decoded photo:"
echo "  opened by zudizar                    $ours_db dB"
echo "  djpeg -colors 236 -dither none       $colors_db dB"
echo "  ImageMagick +dither -colors 236      $(psnr "$work/decoded.ppm" "$work/magick.png") dB"
echo "  djpeg to the unchanged palette       $(psnr "$work/decoded.ppm" "$work/unchanged.bmp") dB"
echo "  zudizar above djpeg -colors 236      $(awk "BEGIN{printf \"%.2f\", $ours_db - $colors_db}") dB (goal: at least 2)"
