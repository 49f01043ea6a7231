#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the Linux programs, the Windows programs for both architectures under Wine
# and the Windows builds' unit suites (the 32-bit ones only where the machine
# runs 32-bit programs),
# the Linux suite again built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), and each fuzz target briefly
# (build-fuzz/, scripts/fuzz.sh). KALVORIN_SKIP_WINDOWS=1,
# KALVORIN_SKIP_SANITIZE=1 and KALVORIN_SKIP_FUZZ=1 leave a stage out of a
# quick local loop; CI never skips one.
set -euo pipefail
cd "$(dirname "$0")/.."

wanted() {  # wanted STAGE SKIP_VARIABLE
  if [ "${!2:-}" = 1 ] && [ "${CI:-}" != true ]; then
    echo "test: the $1 stage is skipped ($2=1)" >&2
    return 1
  fi
}

windows=OFF
if wanted Windows KALVORIN_SKIP_WINDOWS; then
  windows=ON
  bash scripts/windows.sh
  # Both architectures are built and their files checked; where the kernel
  # cannot execute 32-bit programs, only the 64-bit ones run under Wine.
  win_suites=(build/win64)
  if why=$(bash scripts/wine.sh --runs-32-bit); then
    echo "test: the 32-bit and 64-bit Windows programs run under Wine" >&2
    win_suites+=(build/win32)
  elif [ -n "$why" ]; then
    echo "test: the 32-bit Windows programs are built and checked, not run: $why" >&2
  fi
  # The Windows builds' unit suites, each program under Wine in a prefix of
  # its build's own.
  for suite in "${win_suites[@]}"; do
    ctest --test-dir "$suite" --output-on-failure -j2
  done
fi
KALVORIN_WINDOWS_TESTS=$windows bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

if wanted sanitizer KALVORIN_SKIP_SANITIZE; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVORIN_SANITIZE=ON \
    -DKALVORIN_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$(nproc)" >/dev/null
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
fi

# Seconds for each fuzz target: long enough to replay the seeds and try some
# thousands of new inputs.
fuzz_seconds=${KALVORIN_FUZZ_SECONDS:-15}
if wanted fuzz KALVORIN_SKIP_FUZZ; then
  bash scripts/fuzz.sh all "$fuzz_seconds"
fi
