# shellcheck shell=bash
# Process helpers shared by the sound-server fixtures of the end-to-end tests; sourced, not run.

# Running, and not merely a zombie waiting for whoever adopted it to reap it.
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

# Stops the process whose id the file holds (TERM, then KILL after five seconds) and removes
# the file.
stop_pid() {
  local file=$1
  [[ -f $file ]] || return 0
  local pid
  pid=$(<"$file")
  rm -f "$file"
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    alive "$pid" || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}
