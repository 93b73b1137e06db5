#!/usr/bin/env bash
# Runs one fuzz target for a fixed time on a scratch copy of its seed corpus, so
# the repository is never written: run_target.sh <target> <corpus> <artifacts> [seconds]
# QUORVEL_FUZZ_SECONDS, when set, overrides the time. A crashing input is kept
# in <artifacts> as <name>-crash-...; the end of the target's log is shown.
set -euo pipefail
target="$1" corpus="$2" artifacts="$3"
seconds="${QUORVEL_FUZZ_SECONDS:-${4:-20}}"
name="$(basename "$target")"
name="${name#fuzz_}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$corpus" "$scratch/corpus"
mkdir -p "$artifacts"
log="$scratch/log"
echo "fuzz_$name: ${seconds}s"
# stdout (the program's diagnostic lines) is closed; the fuzzer reports on stderr.
if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=1 \
    -artifact_prefix="$artifacts/$name-" "$scratch/corpus" >"$log" 2>&1; then
  tail -n 60 "$log" >&2
  echo "fuzz_$name failed; input kept in $artifacts" >&2
  exit 1
fi
grep -E '^stat::number_of_executed_units|^Done' "$log" || true
