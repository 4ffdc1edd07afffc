#!/usr/bin/env bash
# `skelder export --mode full` beside a plain ffmpeg transcode with the same encoder, preset,
# profile, bit rate and audio copy, on a generated 1920x1080 30 fps sample (20 s by default).
# The two run in pairs, ROUNDS pairs (7 by default), which of the two goes first alternating
# from pair to pair, so both see the same machine; prints every time, the ratio of the
# medians ours ÷ ffmpeg (target: 1.05 or less), the median of the pairs' own ratios and the
# peak memory of each. On a shared machine whose speed drifts from minute to minute the two
# of a pair see the same speed, so the pairs' ratios move less than the times do. The same
# ratios of CPU times (user + system) are printed too.
# Then the same for an 8 s 3840x2160 sample, ROUNDS_4K pairs (3 by default): the same ratio
# target, and the peak memory (target: under 600 MB).
# Usage: [ONLY_4K=1] [ROUNDS_4K=N] bench/export_vs_ffmpeg.sh [BUILD_DIR] [SECONDS] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-20}"
rounds="${3:-7}"
skelder="$build/cli/skelder"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The export's bit-rate rule: width × height × fps × 0.2, or 1.1 × the source's rate if
# richer, within 10…120 Mbit/s.
bitRate() {
  local source_rate
  source_rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 "$1")
  echo "r = $2 * $3 * 30 * 0.2; s = $source_rate * 1.1; if (s > r) r = s; \
    if (r < 10000000) r = 10000000; if (r > 120000000) r = 120000000; scale=0; r / 1" | bc
}

# Runs a command quietly; prints "SECONDS PEAK_KB CPU_SECONDS".
measure() {
  local out="$work/time.txt"
  /usr/bin/time -f '%e %M %U %S' -o "$out" "$@" >/dev/null 2>&1
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$out"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The ratio ours ÷ ffmpeg of each pair, from field FIELD of the two lists of measurements.
pairRatios() {
  paste -d' ' <(cut -d' ' -f"$1" "$work/ours.txt") <(cut -d' ' -f"$1" "$work/theirs.txt") |
    awk '{ printf "%.4f\n", $1 / $2 }'
}

compare() {
  local input="$1" width="$2" height="$3" runs="$4"
  local rate
  rate=$(bitRate "$input" "$width" "$height")
  : >"$work/ours.txt"
  : >"$work/theirs.txt"
  ours() { measure "$skelder" export --mode full -o "$work/ours.mp4" "$input" >>"$work/ours.txt"; }
  theirs() {
    measure ffmpeg -nostdin -v error -y -i "$input" -c:v libx264 -preset veryfast \
      -profile:v high -pix_fmt yuv420p -b:v "$rate" -c:a copy "$work/ffmpeg.mp4" >>"$work/theirs.txt"
  }
  for ((i = 1; i <= runs; i++)); do
    if ((i % 2)); then ours; theirs; else theirs; ours; fi
  done
  printf '%sx%s, bit rate %s bit/s\n' "$width" "$height" "$rate"
  printf '  skelder export:   %s s\n' "$(cut -d' ' -f1 "$work/ours.txt" | paste -sd' ')"
  printf '  ffmpeg transcode: %s s\n' "$(cut -d' ' -f1 "$work/theirs.txt" | paste -sd' ')"
  local ours theirs
  ours=$(cut -d' ' -f1 "$work/ours.txt" | median)
  theirs=$(cut -d' ' -f1 "$work/theirs.txt" | median)
  printf '  ratio of the medians skelder / ffmpeg: %.3f\n' "$(echo "$ours / $theirs" | bc -l)"
  printf '  median of the pairs'"'"' ratios:          %.3f\n' "$(pairRatios 1 | median)"
  printf '  CPU time:         skelder %s s, ffmpeg %s s\n' \
    "$(cut -d' ' -f3 "$work/ours.txt" | paste -sd' ')" "$(cut -d' ' -f3 "$work/theirs.txt" | paste -sd' ')"
  ours=$(cut -d' ' -f3 "$work/ours.txt" | median)
  theirs=$(cut -d' ' -f3 "$work/theirs.txt" | median)
  printf '  ratio of the median CPU times: %.3f\n' "$(echo "$ours / $theirs" | bc -l)"
  printf '  median of the pairs'"'"' CPU ratios:      %.3f\n' "$(pairRatios 3 | median)"
  printf '  peak memory: skelder %d MB, ffmpeg %d MB\n' \
    "$(($(cut -d' ' -f2 "$work/ours.txt" | sort -n | tail -1) / 1024))" \
    "$(($(cut -d' ' -f2 "$work/theirs.txt" | sort -n | tail -1) / 1024))"
}

if [ "${ONLY_4K:-0}" != 1 ]; then
  "$skelder" sample "$work/lap.mp4" --seconds "$seconds" --size 1920x1080 --fps 30 >/dev/null 2>&1
  echo "${seconds} s of 1080p30 (target: ratio 1.05 or less)"
  compare "$work/lap.mp4" 1920 1080 "$rounds"
fi

"$skelder" sample "$work/lap4k.mp4" --seconds 8 --size 3840x2160 --fps 30 >/dev/null 2>&1
echo "8 s of 2160p30 (targets: ratio 1.05 or less, skelder under 600 MB)"
compare "$work/lap4k.mp4" 3840 2160 "${ROUNDS_4K:-3}"
