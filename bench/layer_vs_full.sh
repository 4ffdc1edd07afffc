#!/usr/bin/env bash
# The HUD as a layer beside the full export of the same recording: `skelder export --mode
# overlay` in each layer codec (QuickTime Animation, ProRes 4444) and `--mode full`, with every
# lap element on, on a generated 1920x1080 30 fps sample of the club circuit (20 minutes by
# default). Prints the wall-clock and CPU time, the peak memory and the size of each output,
# and the ratio of each layer's time to the full export's (target: below 1). Then the cost of
# the index in front on the full export: the same file remuxed by ffmpeg with and without
# moving its index to the front, the difference against the full export's time (target: within
# 2 %).
# Usage: [LAYER_CODECS="animation"] bench/layer_vs_full.sh [BUILD_DIR] [MINUTES] [RECORDING]
# A RECORDING given is used instead of a generated sample (and kept).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
minutes="${2:-20}"
skelder="$build/cli/skelder"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
recording="${3:-$work/drive.mp4}"
if [ ! -f "$recording" ]; then
  "$skelder" sample "$recording" --seconds $((minutes * 60)) --size 1920x1080 --fps 30 \
    --circuit club >/dev/null 2>&1
fi

# Runs a command quietly; prints "SECONDS PEAK_KB CPU_SECONDS".
measure() {
  local out="$work/time.txt"
  /usr/bin/time -f '%e %M %U %S' -o "$out" "$@" >/dev/null 2>&1
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$out"
}

report() {
  local name="$1" measured="$2" file="$3"
  read -r seconds peak cpu <<<"$measured"
  printf '  %-28s %8.1f s  CPU %8.1f s  peak %4d MB  %6d MB\n' "$name" "$seconds" "$cpu" \
    $((peak / 1024)) $(($(stat -c %s "$file") / 1024 / 1024))
}

echo "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$recording") s of 1080p30"
full=$(measure "$skelder" export --mode full --lap-hud timer,gap,map -o "$work/full.mp4" "$recording")
report "full export" "$full" "$work/full.mp4"
plain=$(measure ffmpeg -nostdin -v error -y -i "$work/full.mp4" -c copy -movflags -faststart \
  "$work/plain.mp4")
front=$(measure ffmpeg -nostdin -v error -y -i "$work/full.mp4" -c copy -movflags +faststart \
  "$work/front.mp4")
printf '  index in front: %.1f s more than a plain remux, %.2f %% of the full export\n' \
  "$(echo "$(cut -d' ' -f1 <<<"$front") - $(cut -d' ' -f1 <<<"$plain")" | bc -l)" \
  "$(echo "100 * ($(cut -d' ' -f1 <<<"$front") - $(cut -d' ' -f1 <<<"$plain")) / $(cut -d' ' -f1 <<<"$full")" | bc -l)"
rm -f "$work/plain.mp4" "$work/front.mp4"
for codec in ${LAYER_CODECS:-animation prores4444}; do
  layer=$(measure "$skelder" export --mode overlay --layer-codec "$codec" --lap-hud timer,gap,map \
    -o "$work/layer-$codec.mov" "$recording")
  report "layer ($codec)" "$layer" "$work/layer-$codec.mov"
  printf '    its time / the full export'"'"'s: %.3f\n' \
    "$(echo "$(cut -d' ' -f1 <<<"$layer") / $(cut -d' ' -f1 <<<"$full")" | bc -l)"
  rm -f "$work/layer-$codec.mov"
done
