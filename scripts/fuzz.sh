#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/ (clang with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs them:
#
#   scripts/fuzz.sh TARGET SECONDS   one target for that long
#   scripts/fuzz.sh all SECONDS      each target in turn, for that long each
#
# TARGET is one of the names below (fuzz/TARGET.cpp). A target works on
# build-fuzz/work/TARGET/corpus, which the seeds of fuzz/corpus/TARGET join
# at every run and which keeps what earlier runs found, so the seeds in the
# repository stay as they are. An input that crashes, leaks or runs for a
# minute (a hang) is saved in build-fuzz/work/TARGET/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(evalua filtred regexpr files reg_args hive host_mail spam_score bounds)
# The target that grows hostile lines runs under a tighter memory limit: an
# input that takes more, or longer than a minute, is a finding like a crash.
declare -A limits=([bounds]="-timeout=60 -rss_limit_mb=1536")

usage() {
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS   (TARGET: ${targets[*]})" >&2
  exit 2
}
[ $# -eq 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
if [ "$1" = all ]; then
  chosen=("${targets[@]}")
elif [[ " ${targets[*]} " == *" $1 "* ]]; then
  chosen=("$1")
else
  usage
fi

bash scripts/bootstrap.sh
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVORIN_FUZZ=ON \
    -DKALVORIN_BUILD_TESTS=OFF -DKALVORIN_BUILD_BENCH=OFF >/dev/null
fi
cmake --build build-fuzz --target kalvorin_fuzzers -j"$(nproc)" >/dev/null

# run TARGET SECONDS: one run, summed up in one line from libFuzzer's final
# status line and statistics; the end of its output when it fails.
run() {
  local target=$1 work=build-fuzz/work/$1 status=0
  mkdir -p "$work/corpus"
  for seed in fuzz/corpus/"$target"/*; do
    [ -e "$work/corpus/${seed##*/}" ] || cp "$seed" "$work/corpus/"
  done
  local dict=()
  if [ -f fuzz/dict/"$target".dict ]; then dict=(-dict=fuzz/dict/"$target".dict); fi
  build-fuzz/fuzz/fuzz_"$target" "$work/corpus" "${dict[@]}" -max_total_time="$2" ${limits[$target]:--timeout=60} \
    -print_final_stats=1 -artifact_prefix="$work/" >"$work/log" 2>&1 || status=$?
  local execs final
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  final=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true)
  printf 'fuzz: %-10s %s s  executions: %-9s %s\n' "$target" "$2" "${execs:-?}" "${final:-(no final status)}"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log" >&2
    echo "fuzz: $target failed; its input and whole output are in $work/" >&2
    return 1
  fi
}

failed=()
for target in "${chosen[@]}"; do
  run "$target" "$2" || failed+=("$target")
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
