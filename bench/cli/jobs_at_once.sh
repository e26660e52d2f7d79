#!/usr/bin/env bash
# moxel-cli --jobs 2 against --jobs 1 on a queue of short clips: 20 clips of
# 5 s (640x360 H.264 + AAC, made with the ffmpeg command), converted with the
# given profile (default: the uncompressed sample profile). The two settings
# run alternately, RUNS times each; the script prints each run's wall time
# and the medians with their ratio. With PEER=1 in the environment, GNU
# parallel running two ffmpeg commands at a time on the same clips takes a
# turn too, doing the default profile's work (320x240 by area average, BGR
# 24-bit raw pictures and 44.1 kHz stereo 16-bit PCM).
#   bench/cli/jobs_at_once.sh [MOXEL_CLI] [RUNS] [PROFILE] [CLIPS] [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
cli="$(realpath "${1:-$here/build/release/bin/moxel-cli}")"
runs="${2:-3}"
profile="$(realpath "${3:-$here/profiles/samples/uncompressed-rgb-pcm.pf}")"
clips="${4:-20}"
seconds="${5:-5}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$profile" "$work/profile.pf"
for i in $(seq -w 1 "$clips"); do
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
        -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):sample_rate=44100" -t "$seconds" \
        -c:v libx264 -preset veryfast -c:a aac -b:a 96k "$work/clip$i.mp4"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -A times
for run in $(seq 1 "$runs"); do
    for jobs in 1 2; do
        rm -f "$work"/*.kmf
        start=$(date +%s.%N)
        (cd "$work" && "$cli" --jobs "$jobs" --overwrite -q -p profile.pf clip*.mp4 \
            >/dev/null 2>"$work/err.txt") || { cat "$work/err.txt"; exit 1; }
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        times[$jobs]+="$t "
        printf 'run %d  --jobs %d  %.2f s\n' "$run" "$jobs" "$t"
    done
    if [ "${PEER:-0}" = 1 ]; then
        rm -f "$work"/*.rgb "$work"/*.pcm
        start=$(date +%s.%N)
        (cd "$work" && parallel -j2 ffmpeg -v error -y -i {} -map 0:v \
            -vf scale=320:240:flags=area -pix_fmt bgr24 -f rawvideo {.}.rgb \
            -map 0:a -ar 44100 -ac 2 -f s16le {.}.pcm ::: clip*.mp4)
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        times[peer]+="$t "
        printf 'run %d  parallel -j2 ffmpeg  %.2f s\n' "$run" "$t"
    fi
done
one=$(echo ${times[1]} | tr ' ' '\n' | median)
two=$(echo ${times[2]} | tr ' ' '\n' | median)
printf 'median --jobs 1: %.2f s  --jobs 2: %.2f s  ratio (2/1): %.2f\n' "$one" "$two" \
    "$(echo "$two / $one" | bc -l)"
if [ "${PEER:-0}" = 1 ]; then
    peer=$(echo ${times[peer]} | tr ' ' '\n' | median)
    printf 'median parallel -j2 ffmpeg: %.2f s  ratio (--jobs 2 / peer): %.2f\n' "$peer" \
        "$(echo "$two / $peer" | bc -l)"
fi
