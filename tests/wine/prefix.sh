#!/usr/bin/env bash
# A Wine prefix for one test run: "start DIR PROBE.exe" creates it afresh and
# keeps its server alive, then checks that PROBE.exe runs and prints (a 32-bit
# program without Wine's 32-bit half exits 0 and prints nothing); "stop DIR"
# ends the server and removes the prefix. Output is detached, so that CTest
# does not wait for the server. Wine runs through scripts/wine.sh.
set -euo pipefail
action=$1 dir=$2
wine=$(dirname "$0")/../../scripts/wine.sh
export WINEPREFIX=$dir WINEDEBUG=-all LC_ALL=C WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
  start)
    "$wine" --server -k >/dev/null 2>&1 </dev/null || true
    rm -rf "$dir"
    mkdir -p "$dir"
    # The server first, so that it outlives wineboot and serves every test.
    "$wine" --server -p >/dev/null 2>&1 </dev/null
    "$wine" wineboot -i >/dev/null 2>&1 </dev/null
    out=$("$wine" "$3" --help 2>/dev/null </dev/null || true)
    if [ -z "$out" ]; then
      echo "wine prints nothing for $3: is wine32:i386 installed for 32-bit programs?" >&2
      exit 1
    fi
    echo "wine prefix ready: $dir"
    ;;
  stop)
    "$wine" --server -k >/dev/null 2>&1 </dev/null || true
    rm -rf "$dir"
    ;;
  *) echo "usage: prefix.sh start DIR PROBE.exe | stop DIR" >&2; exit 2 ;;
esac
