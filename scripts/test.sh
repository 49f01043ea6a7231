#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the Linux programs, the Windows programs for both architectures under Wine
# and the Windows builds' unit suites (the 32-bit one under user-mode
# emulation where the kernel cannot execute 32-bit programs),
# the Linux suite again built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), and each fuzz target briefly
# (build-fuzz/, scripts/fuzz.sh), after the Debian package of the Linux build
# is made and checked (scripts/package.sh). KALVORIN_SKIP_WINDOWS=1,
# KALVORIN_SKIP_SANITIZE=1, KALVORIN_SKIP_FUZZ=1 and KALVORIN_SKIP_PACKAGE=1
# leave a stage out of a quick local loop; CI never skips one.
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
  # Both unit suites run under Wine; where the kernel cannot execute 32-bit
  # programs, the 32-bit one runs under user-mode emulation (qemu-i386).
  how=0
  why=$(bash scripts/wine.sh --runs-32-bit) || how=$?
  case $how in
    0) echo "test: the 32-bit and 64-bit Windows programs run under Wine" >&2 ;;
    1) echo "test: $why: the 32-bit programs run under qemu-i386" >&2 ;;
    *) exit 1 ;;  # scripts/wine.sh has said why
  esac
  # The Windows builds' unit suites, each program under Wine in a prefix of
  # its build's own.
  ctest --test-dir build/win64 --output-on-failure -j2
  ctest --test-dir build/win32 --output-on-failure -j2
fi
KALVORIN_WINDOWS_TESTS=$windows bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The Debian package of that build: lintian, dpkg -i into a fresh root, the
# README's procmail recipe with the installed programs.
if wanted package KALVORIN_SKIP_PACKAGE; then
  bash scripts/package.sh build
fi

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
