#!/bin/sh
# Resident size of the program after opening a 4096² and an 8192² photo (or
# the sides in SIDES, e.g. SIDES=16384) on
# the main canvas, at zoom 1/8, 1 and 8, against the goal: 2.5 × the
# picture's indices plus 100 MB. Needs ImageMagick; run from the repository
# root after a release build (build/bench).
set -e
program=${1:-build/bench/app/zudizar}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for side in ${SIDES:-4096 8192}; do
  convert -size ${side}x${side} plasma:fractal -quality 85 "$work/p$side.jpg"
  for zoom in 1/8 1 8; do
    mkdir -p "$work/home"
    printf '[View]\nMainZoom=%s\n' "$zoom" > "$work/home/TAVOINI.INI"
    ZUDIZAR_HOME="$work/home" QT_QPA_PLATFORM=offscreen "$program" "$work/p$side.jpg" 2>/dev/null &
    pid=$!
    # The open is done when the resident size stops growing.
    last=0
    while :; do
      sleep 2
      now=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
      [ "$now" = "$last" ] && break
      last=$now
    done
    kill $pid
    wait $pid 2>/dev/null || true
    indices=$((side * side / 1024))
    goal=$((indices * 5 / 2 + 100 * 1024))
    echo "${side}x${side} zoom $zoom: resident $((now / 1024)) MB, $(echo "scale=2; $now / $indices" | bc)x the indices; goal under $((goal / 1024)) MB"
    rm -rf "$work/home"
  done
done
