#!/usr/bin/env bash
# The speed table: filter lists of bench/gen_lines.py's mix (10 to 10 000
# lines, each tied to a test that never holds, so that no line decides and
# every line is tried) against messages of 2, 50 and 500 kB, from one run of
# bench_lists.
# usage: bash bench/table.sh [BUILD_DIR=build]      (from the project's root, after a build)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(readlink -f "${1:-$ROOT/build}")
W=$(mktemp -d); trap 'rm -rf "$W"' EXIT

for n in 10 100 1000 10000; do
  python3 "$ROOT/bench/gen_lines.py" "$n" "$W/lines$n.txt" --every-line
done
# Lists of contains tests only, for how their cost grows with their number.
for n in 1000 10000; do
  python3 "$ROOT/bench/gen_lines.py" "$n" "$W/contains$n.txt" --every-line --contains-only
done

KALVORIN_BENCH_LISTS="$W" "$BUILD/bench/bench_lists" --benchmark_format=json > "$W/out.json"

python3 - "$W/out.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
ms = lambda name: runs[name]["cpu_time"]
print("Processor time per message (the machine is shared, so wall time says less).")
print()
print("| lines | message | matching stage | TBP_GetSpamScore with log | literal road | literal / matching |")
print("|---:|---:|---:|---:|---:|---:|")
for n in (10, 100, 1000, 10000):
    for kb in (2, 50, 500):
        a = "lines:%d/kB:%d" % (n, kb)
        m, w, l = ms("BM_Matching/" + a), ms("BM_GetSpamScore/" + a), ms("BM_Literal/" + a)
        print("| %d | %d kB | %.3f ms | %.3f ms | %.1f ms | %.0fx |" % (n, kb, m, w, l, l / m))
c1, c10 = ms("BM_MatchingContains/lines:1000/kB:50"), ms("BM_MatchingContains/lines:10000/kB:50")
print()
print("Contains lines only, 50 kB: 1 000 lines %.3f ms, 10 000 lines %.3f ms (%.1fx)" % (c1, c10, c10 / c1))
PY
