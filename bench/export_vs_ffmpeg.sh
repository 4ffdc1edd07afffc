#!/usr/bin/env bash
# `skelder export --mode full` beside a plain ffmpeg transcode with the same encoder, preset,
# profile, bit rate and audio copy, on a generated 60 s 1920x1080 30 fps sample. Prints the
# times and the ratio ours ÷ ffmpeg (target: 1.10 or less), and the same ffmpeg command with
# a BGRA round trip for comparison.
# Usage: bench/export_vs_ffmpeg.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-60}"
skelder="$build/cli/skelder"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$skelder" sample "$work/lap.mp4" --seconds "$seconds" --size 1920x1080 --fps 30 >/dev/null

# The export's bit-rate rule: 1920 × 1080 × 30 × 0.2, or 1.1 × the source's rate if richer,
# within 10…120 Mbit/s.
source_rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 "$work/lap.mp4")
rate=$(echo "r = 1920 * 1080 * 30 * 0.2; s = $source_rate * 1.1; if (s > r) r = s; \
  if (r < 10000000) r = 10000000; if (r > 120000000) r = 120000000; scale=0; r / 1" | bc)

elapsed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

ours=$(elapsed "$skelder" export --mode full -o "$work/ours.mp4" "$work/lap.mp4")
theirs=$(elapsed ffmpeg -nostdin -v error -y -i "$work/lap.mp4" -c:v libx264 -preset veryfast \
  -profile:v high -pix_fmt yuv420p -b:v "$rate" -c:a copy "$work/ffmpeg.mp4")
bgra=$(elapsed ffmpeg -nostdin -v error -y -i "$work/lap.mp4" -vf format=bgra,format=yuv420p \
  -c:v libx264 -preset veryfast -profile:v high -b:v "$rate" -c:a copy "$work/ffmpeg-bgra.mp4")

printf 'bit rate %s bit/s, %s s of 1080p30\n' "$rate" "$seconds"
printf 'skelder export:            %6.2f s\n' "$ours"
printf 'ffmpeg transcode:          %6.2f s\n' "$theirs"
printf 'ffmpeg with BGRA trip:     %6.2f s (ratio %.2f)\n' "$bgra" "$(echo "$bgra / $theirs" | bc -l)"
printf 'ratio skelder / ffmpeg:    %6.2f (target <= 1.10)\n' "$(echo "$ours / $theirs" | bc -l)"
