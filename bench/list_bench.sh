#!/usr/bin/env bash
# Times the whole `povezava-cli list` process against mdbtools on builder-made
# front-ends (2,000 catalogue rows; 2 MB and 200 MB of local table data):
# median wall time over RUNS runs and peak memory (max RSS) of each command.
#
#   bench/list_bench.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/release (configure it RelWithDebInfo). The
# databases are made once with `povezava-cli make-demo` into
# $POVEZAVA_BENCH_DATA (default BUILD_DIR/bench-data) and reused.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-200}
cli="$build/src/cli/povezava-cli"
data=${POVEZAVA_BENCH_DATA:-$build/bench-data}
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }

for size in 2000000 200000000; do
  dir="$data/$size"
  if [ ! -f "$dir/TQ.mdb" ]; then
    rm -rf "$dir"
    "$cli" make-demo "$dir" --queries 2000 --data-bytes "$size" >/dev/null
  fi
done

python3 - "$cli" "$runs" "$data/2000000/TQ.mdb" "$data/200000000/TQ.mdb" <<'PY'
import os, statistics, subprocess, sys, time

cli, runs, small, big = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]

def peak_kb(argv):
    """Peak memory (max RSS, KB) of one run, as /usr/bin/time -v reports it."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True)
    return int(out.stderr.strip().splitlines()[-1])

def measure(argv):
    """Median wall time (ms) of running argv `runs` times, and its peak memory (KB)."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    times = []
    for _ in range(runs):
        start = time.perf_counter_ns()
        pid = os.posix_spawnp(argv[0], argv, os.environ,
                              file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
        _, status = os.waitpid(pid, 0)
        times.append((time.perf_counter_ns() - start) / 1e6)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{argv} failed")
    os.close(devnull)
    return statistics.median(times), peak_kb(argv)

baseline = measure(["true"])
print(f"process start-up baseline (true): {baseline[0]:.2f} ms median of {runs} runs")

for label, path in (("2 MB data", small), ("200 MB data", big)):
    size = os.path.getsize(path)
    ours = measure([cli, "list", path])
    tables = measure(["mdb-tables", "-1", path])
    export = measure(["mdb-export", path, "MSysObjects"])
    print(f"{label} ({size / 1e6:.1f} MB file), median of {runs} runs:")
    for name, (ms, kb) in (("povezava-cli list", ours), ("mdb-tables -1", tables),
                           ("mdb-export MSysObjects", export)):
        print(f"  {name:24s} {ms:7.2f} ms  peak {kb / 1024:5.1f} MB")
    print(f"  list / mdb-tables = {ours[0] / tables[0]:.2f}   list / mdb-export = {ours[0] / export[0]:.2f}")
PY
