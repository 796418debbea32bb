#!/usr/bin/env bash
# File operations on a network share: how many round trips each command
# makes, counted with strace, and its wall time on a simulated slow share.
#
# Counted: every system call that names a path inside the share's folder (or
# a relative path: the commands run from inside it), and every call on a
# descriptor opened there (read, write, sync, lock, list, close). The share
# holds front-ends with a local table and four links (PARTNER to PARTNER.MDB,
# KONTI and NALOGI to QUERNO.MDB in DATA, one more to a file that does not
# exist); bench/share_set_bench.cpp makes them.
#
#   bench/share_ops.sh [BUILD_DIR]
#
# BUILD_DIR: a build configured with -DPOVEZAVA_BENCH=ON (default build/bench).
# Prints, per command, the count and its goal, then the wall time with
# bench/share_shim.cpp preloaded (1 ms per file operation, 10 ms per sync).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
cli="$PWD/$build/src/cli/povezava-cli"
make="$PWD/$build/bench/povezava_share_set_bench"
shim="$PWD/$build/bench/libpovezava_share_shim.so"
command -v strace >/dev/null || { echo "needs strace (apt-get install strace)" >&2; exit 2; }
for f in "$cli" "$make" "$shim"; do
  [ -e "$f" ] || { echo "build first: cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOVEZAVA_BENCH=ON && cmake --build $build -j2 ($f is missing)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
share="$work/share"
frontends=20

# A fresh share: the front-ends as made, DATA2 holding copies of the back-ends.
fresh() {
  rm -rf "$share"
  "$make" "$share" "$frontends"
  cp "$share/DATA/PARTNER.MDB" "$share/DATA/QUERNO.MDB" "$share/DATA2/"
}

pathcalls='(open|openat|openat2|creat|stat|lstat|newfstatat|statx|access|faccessat|faccessat2|readlink|readlinkat|unlink|unlinkat|rename|renameat|renameat2|mkdir|mkdirat|link|linkat|symlink|symlinkat|chmod|fchmodat|chown|fchownat|truncate|utimensat)'
# count COMMAND...: the share's operations of one run, from inside the share.
count() {
  local log="$work/strace.log"
  (cd "$share" && strace -f -y -qq -o "$log" -e trace=all "$@" >/dev/null 2>&1) || true
  # (-y shows the current folder after AT_FDCWD: that names no file.)
  sed 's/AT_FDCWD<[^>]*>/AT_FDCWD/g' "$log" | grep -v -E '^[0-9]+ +(execve|getcwd|exit_group|\+\+\+|---)' |
    grep -c -E "[\"<]$share(/|[\">])|^[0-9]+ +$pathcalls\((AT_FDCWD, )?\"[^/\"]" || true
}

# wall COMMAND...: seconds for one run with the slow share preloaded.
wall() {
  local start end
  start=$(date +%s.%N)
  (cd "$share" && SHARE_SHIM_DIR="$share" LD_PRELOAD="$shim" "$@" >/dev/null 2>"$work/shim.log") || true
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
  echo " s ($(tail -1 "$work/shim.log" | sed 's/^share shim: //'))"
}

all=()
for i in $(seq 1 "$frontends"); do
  if [ "$i" -eq 1 ]; then all+=("TQ.mdb"); else all+=("$(printf 'TQ%02d.mdb' "$i")"); fi
done

fresh
list=$(count "$cli" list TQ.mdb)
check=$(count "$cli" check TQ.mdb)
relink=$(count "$cli" relink TQ.mdb --backend DATA2)
fresh
many=$(count "$cli" relink "${all[@]}" --backend DATA2)

printf '%-44s %8s %8s\n' "operations on the share" "count" "goal"
printf '%-44s %8s %8s\n' "list TQ.mdb" "$list" "<= 10" \
  "check TQ.mdb (3 back-ends)" "$check" "<= 35" \
  "relink TQ.mdb --backend DATA2" "$relink" "<= 45"
awk -v n="$many" -v f="$frontends" 'BEGIN {
  printf "%-44s %8.1f %8s\n", "relink, each of " f " front-ends", n / f, "<= 40" }'

echo
echo "wall time, 1 ms a file operation and 10 ms a sync on the share:"
fresh
printf '  %-42s %s\n' "list TQ.mdb" "$(wall "$cli" list TQ.mdb)"
printf '  %-42s %s\n' "check TQ.mdb" "$(wall "$cli" check TQ.mdb)"
printf '  %-42s %s\n' "relink TQ.mdb --backend DATA2" "$(wall "$cli" relink TQ.mdb --backend DATA2)"
fresh
printf '  %-42s %s\n' "relink $frontends front-ends --backend DATA2" "$(wall "$cli" relink "${all[@]}" --backend DATA2)"
