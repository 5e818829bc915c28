#!/bin/sh
# gate_instructions.sh UI_GATE LIMIT [ui_gate options]: runs ui_gate under callgrind and
# compares the instructions of the objects side with those of raw Motif; fails when their
# ratio is above LIMIT. Instruction counts do not depend on the machine's load.
set -eu
gate=$1
limit=$2
shift 2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
valgrind --tool=callgrind --instr-atstart=no --dump-instr=no --callgrind-out-file="$dir/cg" \
  "$gate" "$@" >"$dir/out" 2>"$dir/err" || {
  cat "$dir/out" "$dir/err"
  exit 1
}
# A dump names its trigger in its header and gives its total in a "totals:" or "summary:" line.
total() {
  for f in "$dir"/cg*; do
    if grep -q "^desc: Trigger: Client Request: $1\$" "$f"; then
      sed -n 's/^\(totals\|summary\): *\([0-9]*\).*/\2/p' "$f" | head -n 1
      return
    fi
  done
}
objects=$(total objects)
raw=$(total raw)
if [ -z "$objects" ] || [ -z "$raw" ] || [ "$raw" = 0 ]; then
  echo "no callgrind dumps of both sides" >&2
  cat "$dir/out" "$dir/err" >&2
  exit 1
fi
awk -v o="$objects" -v r="$raw" -v limit="$limit" 'BEGIN {
  ratio = o / r
  printf "instructions: objects %d, raw Motif %d, ratio %.3f (limit %s)\n", o, r, ratio, limit
  exit ratio > limit ? 1 : 0
}'
