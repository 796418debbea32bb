#!/usr/bin/env bash
# What the engine's work costs, in machine instructions (callgrind: exact and
# the same on every machine) and in wall time (hyperfine), on a front-end with
# 400 linked tables whose paths lie partly on long-value pages:
#   list --all, mdb-tables -1 (which prints only names), the relink of PARTNER
#   alone and of PARTNER, KONTI and NALOGI, and the floor of a relink (process
#   start plus one journal cycle with its syncs, from `true` and a relink that
#   changes nothing but must still be checked).
#
#   bench/engine_work.sh [BUILD_DIR]
#
# BUILD_DIR: a RelWithDebInfo build configured with -DPOVEZAVA_BENCH=ON
# (default build/bench). Needs valgrind, hyperfine and mdbtools.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
cli="$build/src/cli/povezava-cli"
make="$build/bench/povezava_engine_work_bench"
for tool in valgrind hyperfine mdb-tables; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install valgrind hyperfine mdbtools)" >&2; exit 2; }
done
[ -x "$cli" ] && [ -x "$make" ] || { echo "build first: cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOVEZAVA_BENCH=ON && cmake --build $build -j2" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make" "$work/set"
fe="$work/set/TQ.mdb"
data="$work/set/data"

# Instructions of one run of a command; relinks run on a fresh copy each time.
instructions() {
  local out="$work/callgrind.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>"$work/valgrind.log"
  grep -m1 '^summary:' "$out" | awk '{print $2}'
}
fresh() { cp "$work/set/TQ.mdb" "$work/TQ.mdb"; }

list=$(instructions "$cli" list --all "$fe")
tables=$(instructions mdb-tables -1 "$fe")
fresh; one=$(instructions "$cli" relink "$work/TQ.mdb" "PARTNER=;DATABASE=$data/PARTNER.MDB")
fresh; three=$(instructions "$cli" relink "$work/TQ.mdb" --backend "$data")

printf '%-34s %14s\n' "instructions" ""
printf '%-34s %14s\n' "povezava-cli list --all" "$list" "mdb-tables -1" "$tables" \
  "relink PARTNER" "$one" "relink PARTNER, KONTI, NALOGI" "$three"
awk -v l="$list" -v t="$tables" -v o="$one" -v h="$three" 'BEGIN {
  printf "list / mdb-tables        %.2f  (goal <= 0.5)\n", l / t
  printf "relink three / one       %.2f  (goal <= 1.3)\n", h / o
  printf "relink three / list      %.2f  (goal <= 2)\n", h / l }'

echo
fresh
hyperfine -N --warmup 20 --runs 200 --export-json "$work/list.json" \
  "$cli list --all $fe" "mdb-tables -1 $fe" 2>/dev/null | grep -E 'Time|±|povezava|mdb-tables' || true
# A relink of all three, each run on a fresh copy so that every run writes;
# and its floor: process start, and one journal cycle (its own process).
hyperfine -N --warmup 5 --runs 100 --prepare "cp $work/set/TQ.mdb $work/TQ.mdb" \
  -n "relink three (syncs included)" "$cli relink $work/TQ.mdb --backend $data" \
  -n "one journal cycle (process included)" "$make --journal-cycle $work/TQ.mdb" \
  -n "process start" "true" 2>/dev/null | grep -E 'Time|relink|journal|process' || true
