#!/usr/bin/env bash
# Side by side: our decode → BGRA → encode round trip against ffmpeg transcoding the same
# 1080p30 clip with the same encoder settings (which never leaves YUV). Prints the ratio.
# Usage: bench/compare_roundtrip.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-20}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -nostdin -f lavfi -i "gradients=s=1920x1080:r=30,noise=alls=12:allf=t" \
  -f lavfi -i "sine=frequency=220:sample_rate=48000" -t "$seconds" \
  -c:v libx264 -preset veryfast -b:v 20M -pix_fmt yuv420p -colorspace bt709 -color_range tv \
  -c:a aac "$work/source.mp4"

start=$(date +%s.%N)
"$build/bench/media_roundtrip" "$work/source.mp4" "$work/ours.mp4" 12441600
ours=$(echo "$(date +%s.%N) - $start" | bc)

start=$(date +%s.%N)
ffmpeg -v error -nostdin -i "$work/source.mp4" -c:v libx264 -preset veryfast -profile:v high \
  -b:v 12441600 -c:a copy -y "$work/ffmpeg.mp4"
theirs=$(echo "$(date +%s.%N) - $start" | bc)

printf 'ours: %.2f s, ffmpeg: %.2f s, ratio ours/ffmpeg: %.2f\n' "$ours" "$theirs" \
  "$(echo "$ours / $theirs" | bc -l)"
