#!/usr/bin/env bash
# Start-up of the program against the simulated modem with the example house:
# from start to the window shown, and from start to the modem's link table
# read. Runs the program RUNS times (5 by default) on the offscreen platform and
# prints each run and the median of both times.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
program=build/default/app/quorvel
[ -x "$program" ] || scripts/build default
shown=()
read_ms=()
for ((i = 0; i < runs; i++)); do
  data="$(mktemp -d)"
  line="$(QT_QPA_PLATFORM=offscreen "$program" --simulate --data "$data" --startup-times \
    --screenshot-after 60 2>/dev/null | grep '^startup:' | tr '\n' ' ')"
  rm -rf "$data"
  s="$(sed -n 's/.*window shown \([0-9]*\) ms.*/\1/p' <<< "$line")"
  r="$(sed -n 's/.*modem link table read \([0-9]*\) ms.*/\1/p' <<< "$line")"
  echo "run $((i + 1)): window shown ${s:-?} ms, modem link table read ${r:-?} ms"
  [ -n "$s" ] && shown+=("$s")
  [ -n "$r" ] && read_ms+=("$r")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "?"}'; }
echo "median: window shown $(median "${shown[@]}") ms, modem link table read $(median "${read_ms[@]}") ms"
