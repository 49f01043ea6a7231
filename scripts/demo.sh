#!/usr/bin/env bash
# Builds everything, then scores the bundled sample messages through the real
# plug-in and prints the scores. Uses a private settings store and a copy of
# the sample base folder, so nothing of the user's own set-up is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null

dist=build/dist
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KALVORIN_HIVE="$work/hkcu.db"
cp -r resources/demo/base "$work/base"
cp "$dist/version.ini" "$work/base/"

reg() { "$dist/kalvorin-reg" "$@" >/dev/null; }
reg add 'HKCU\Software\kalvorin\directorys' /v basefolder /d "$work/base"
reg add 'HKCU\Software\kalvorin\settings' /v extimg /d susp

"$dist/kalvorin-host"
echo
scores=$("$dist/kalvorin-host" resources/demo/messages/*.eml)
printf '%-7s %-8s %s\n' SCORE LIST MESSAGE
printf '%s\n' "$scores" | while IFS=$'\t' read -r score source; do
  case "$score" in
    -1000) list=secure ;;
    1000) list=trash ;;
    70) list=suspect ;;
    *) list=- ;;
  esac
  printf '%-7s %-8s %s\n' "$score" "$list" "$(basename "$source")"
done
echo
echo "The plug-in log of the last messages: $work/base/plugin.log.txt (removed on exit;"
echo "run build/dist/kalvorin-host yourself to keep one, see README.md)."
