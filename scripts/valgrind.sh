#!/usr/bin/env bash
# Scores about fifty messages (the sample messages, four times over) through
# kalvorin-host and the plug-in under valgrind's memcheck, with lists of
# contains, whole-word and regular-expression lines, and fails on any memory
# error or leak. PCRE2's JIT code draws reports of its own, which
# tests/valgrind/pcre2-jit.supp holds back.
#
#   scripts/valgrind.sh [BUILD_FOLDER]     default build/; builds nothing
#
# Uses a private settings store and base folder. Exits 77 (skipped) when
# valgrind is not installed; scripts/bootstrap.sh installs it.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=${1:-build}/dist

if ! command -v valgrind >/dev/null; then
  echo "valgrind: not installed (scripts/bootstrap.sh installs it)" >&2
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KALVORIN_HIVE="$work/hkcu.db"
cp -r resources/demo/base "$work/base"
cp "$dist/version.ini" "$work/base/"
# Regular expressions that no sample meets, so every message runs them all.
for i in $(seq 1 30); do
  printf 'mbody=%%(?i)offer\\s+%d[0-9]{2,}%%\r\nrwmsg=%%^X-Tag%d:.*(win|prize)%%\r\n' "$i" "$i"
done >>"$work/base/suspect.filters.txt"
"$dist/kalvorin-reg" add 'HKCU\Software\kalvorin\directorys' /v basefolder /d "$work/base" >/dev/null

mkdir -p "$work/mail/cur" "$work/mail/new"
for round in 1 2 3 4; do
  for m in resources/demo/messages/*.eml; do cp "$m" "$work/mail/cur/$round-$(basename "$m")"; done
done

valgrind --quiet --leak-check=full --error-exitcode=1 --suppressions=tests/valgrind/pcre2-jit.supp \
  "$dist/kalvorin-host" "$work/mail" >/dev/null
echo "valgrind: no memory error and no leak in $(ls "$work/mail/cur" | wc -l) messages"
