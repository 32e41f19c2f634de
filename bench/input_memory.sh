#!/usr/bin/env bash
# Peak memory (maximum resident set) of runs that read a one-hour sound file: the file is
# streamed through a bounded buffer, so the figures stay those of a short file. Not a test:
# it prints the figures for a person to read. Needs sox and GNU time (scripts/install-deps).
#
#   bench/input_memory.sh [BUILD_DIR]
set -euo pipefail

build=${1:-build}
program="$build/osciloskop"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

# The generator's start-up tone on UR and 1000 Hz on UL, for one hour: 44100 Hz 16-bit WAV
# (635 MB), and 48000 Hz FLAC, which goes through the rate converter.
sox -n -r 44100 -b 16 -c 2 "$folder/one-hour.wav" synth 3600 sine 100 sine 1000 vol 0.3
sox "$folder/one-hour.wav" -r 48000 "$folder/one-hour-48k.flac"

peak() {  # the command's peak resident memory in MB, and its exit status
  local report="$folder/time.txt"
  local status=0
  /usr/bin/time -v -o "$report" "$@" >/dev/null 2>"$folder/stderr.txt" || status=$?
  local kb
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$report")
  awk -v kb="$kb" -v status="$status" -v run="${*:2}" \
    'BEGIN { printf "%8.1f MB  exit %d  %s\n", kb / 1024, status, run }'
}

echo "peak memory of runs over one hour of sound ($(du -h "$folder/one-hour.wav" | cut -f1) WAV):"
peak "$program" --card simulated --headless --virtual-time --seconds 2 --input "$folder/one-hour.wav"
peak "$program" --card simulated --headless --virtual-time --seconds 60 --input "$folder/one-hour.wav"
peak "$program" --card simulated --headless --virtual-time --seconds 60 --input "$folder/one-hour-48k.flac"
peak "$program" --analyze "$folder/one-hour.wav"
