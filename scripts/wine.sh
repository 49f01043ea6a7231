#!/usr/bin/env bash
# The one way the scripts and the tests run Wine: it picks the loader that
# this machine can run.
#
#   scripts/wine.sh PROGRAM [ARG...]     a Windows program, or a program of
#                                        Wine's own (wineboot), under Wine
#   scripts/wine.sh --server [ARG...]    the Wine server (wineserver)
#   scripts/wine.sh --runs-32-bit        whether 32-bit programs run here:
#                                        status 0 yes; 1 no, the kernel cannot
#                                        execute them (the reason on one line);
#                                        2 the 32-bit loader fails otherwise
#
# Debian's own "wine" prefers the 32-bit loader (wine32:i386) whenever it is
# installed, and that loader starts the 64-bit programs too. On a kernel that
# cannot execute 32-bit x86 programs it fails with "Exec format error", and so
# every program would. There the 64-bit loader runs the 64-bit programs, and
# the 32-bit ones cannot run at all.
#
# KALVORIN_WINE32_LOADER and KALVORIN_WINE64_LOADER replace the two loaders,
# so that a machine of the other kind can be simulated.
set -euo pipefail

wine32=${KALVORIN_WINE32_LOADER:-/usr/lib/wine/wine}
wine64=${KALVORIN_WINE64_LOADER:-/usr/lib/wine/wine64}

# Tries the 32-bit loader. A kernel without 32-bit support refuses to execute
# it (ENOEXEC, which the shell reports with status 126 and "Exec format
# error"); only that counts as "cannot", so that a broken Wine still fails.
runs_32_bit() {
  if [ ! -x "$wine32" ]; then
    echo "the 32-bit Wine loader $wine32 is missing: install wine32:i386 (scripts/windows.sh)" >&2
    return 2
  fi
  local err status=0
  err=$("$wine32" --version 2>&1 >/dev/null) || status=$?
  if [ "$status" -eq 0 ]; then
    return 0
  fi
  if [ "$status" -eq 126 ] && [[ $err == *"Exec format error"* ]]; then
    echo "this machine's kernel cannot execute 32-bit x86 programs ($wine32: Exec format error)"
    return 1
  fi
  echo "the 32-bit Wine loader $wine32 fails (status $status): $err" >&2
  return 2
}

case "${1:-}" in
  --runs-32-bit)
    runs_32_bit
    ;;
  --server)
    shift
    exec wineserver "$@"
    ;;
  "" | -*)
    echo "usage: scripts/wine.sh PROGRAM [ARG...] | --server [ARG...] | --runs-32-bit" >&2
    exit 2
    ;;
  *)
    export WINEDEBUG=${WINEDEBUG:--all}
    if runs_32_bit >/dev/null 2>&1; then
      exec "$wine32" "$@"
    fi
    export WINELOADER=$wine64
    exec "$wine64" "$@"
    ;;
esac
