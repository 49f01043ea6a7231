#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into build/.
# KALVORIN_WINDOWS_TESTS=ON (set by scripts/test.sh) adds the Wine tests of the
# Windows programs to the suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVORIN_WINDOWS_TESTS="${KALVORIN_WINDOWS_TESTS:-OFF}" >/dev/null
cmake --build build -j"$(nproc)"
