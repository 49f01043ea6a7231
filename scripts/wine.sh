#!/usr/bin/env bash
# The one way the scripts and the tests run Wine: it picks the loader that
# this machine can run.
#
#   scripts/wine.sh PROGRAM [ARG...]     a Windows program, or a program of
#                                        Wine's own (wineboot), under Wine
#   scripts/wine.sh --server [ARG...]    the Wine server (wineserver)
#   scripts/wine.sh --runs-32-bit        how 32-bit programs run here:
#                                        status 0 natively; 1 under user-mode
#                                        emulation, the kernel cannot execute
#                                        them (the reason on one line); 2 not
#                                        at all, Wine's 32-bit loader or
#                                        qemu-i386 fails (the reason on stderr)
#
# Debian's own "wine" prefers the 32-bit loader (wine32:i386) whenever it is
# installed, and that loader starts the 64-bit programs too. On a kernel that
# cannot execute 32-bit x86 programs it fails with "Exec format error", and so
# every program would. There the 64-bit loader runs the 64-bit programs, and
# the 32-bit loader runs under qemu-i386 (Debian's qemu-user), which executes
# 32-bit code without the kernel's help.
#
# KALVORIN_WINE32_LOADER and KALVORIN_WINE64_LOADER replace the loaders that
# the kernel is asked to run, so that a machine of the other kind can be
# simulated: a 32-bit "loader" that fails with "Exec format error" makes this
# a machine that cannot. The emulation always runs Debian's 32-bit loader.
set -euo pipefail

wine32=${KALVORIN_WINE32_LOADER:-/usr/lib/wine/wine}
wine64=${KALVORIN_WINE64_LOADER:-/usr/lib/wine/wine64}
emulated32=/usr/lib/wine/wine

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

# Whether the emulation runs Debian's 32-bit loader.
emulation_works() {
  if ! command -v qemu-i386 >/dev/null; then
    echo "qemu-i386 is missing: install qemu-user (scripts/windows.sh)" >&2
    return 2
  fi
  local err status=0
  err=$(qemu-i386 "$emulated32" --version 2>&1 >/dev/null) || status=$?
  if [ "$status" -ne 0 ]; then
    echo "qemu-i386 cannot run the 32-bit Wine loader $emulated32 (status $status): $err" >&2
    return 2
  fi
}

# Wine starts a program of the other architecture by executing the loader of
# that name in the folder of the running loader ("wine" or "wine64"), and a
# 32-bit loader under qemu-i386 re-executes itself the same way. So the
# emulation needs a folder of loaders: copies of the two (each looks for its
# libraries relative to its own file), and a "wine" that is a script running
# the 32-bit copy under qemu-i386. The folder is made once per pair of loaders,
# in the cache of scripts/windows.sh, by renaming a finished scratch folder,
# so that Wine processes started side by side never see half of one. Prints
# its loader folder.
emulation_folder() {
  local real32 real64 cache key dir scratch
  real32=$(realpath "$emulated32")
  real64=$(realpath "$wine64")
  cache=${KALVORIN_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvorin-win}
  key=$(cat "$real32" "$real64" "${BASH_SOURCE[0]}" "$shim" | md5sum | cut -c1-12)
  dir=$cache/wine-i386-emulation-$key
  if [ ! -d "$dir" ]; then
    mkdir -p "$cache"
    scratch=$(mktemp -d "$cache/.wine-i386-emulation.XXXXXX")
    make_emulation_folder "$scratch" "$real32" "$real64"
    mv -T "$scratch" "$dir" 2>/dev/null || rm -rf "$scratch"
  fi
  echo "$dir/lib/wine"
}

make_emulation_folder() {  # make_emulation_folder DIR REAL32 REAL64
  local dir=$1 real32=$2 real64=$3
  mkdir -p "$dir/lib/wine"
  cp "$real32" "$dir/lib/wine/wine-i386"
  cp "$real64" "$dir/lib/wine/wine64"
  # What the loaders and Wine find relative to their folder: the libraries
  # of both architectures, the server and the data (wine.inf, fonts).
  ln -s "$(dirname "$real64")/wineserver" "$dir/lib/wine/wineserver"
  ln -s "$(realpath "$(dirname "$real32")/../i386-linux-gnu")" "$dir/lib/i386-linux-gnu"
  ln -s "$(realpath "$(dirname "$real64")/../x86_64-linux-gnu")" "$dir/lib/x86_64-linux-gnu"
  ln -s "$(realpath "$(dirname "$real64")/../../share")" "$dir/share"
  gcc -m32 -O2 -fPIC -shared -nostdlib -fno-stack-protector -o "$dir/lib/wine/emulation-i386.so" \
    "$shim" /lib/i386-linux-gnu/libc.so.6
  # The 32-bit loader's own name is "wine", so that it starts 32-bit programs
  # through this script too. It would re-execute itself at once, which only
  # costs a second start here: WINELOADERNOEXEC skips that.
  cat >"$dir/lib/wine/wine" <<'LOADER'
#!/bin/sh
here=$(dirname "$0")
WINELOADERNOEXEC=1 exec qemu-i386 -E LD_PRELOAD="$here/emulation-i386.so" -0 "$0" "$here/wine-i386" "$@"
LOADER
  chmod +x "$dir/lib/wine/wine"
}

shim=$(dirname "${BASH_SOURCE[0]}")/wine-i386-emulation.c

# Whether FILE is a 32-bit x86 Windows program: the machine field of its PE
# header, found through the offset at 0x3c.
is_32_bit_program() {  # is_32_bit_program FILE
  [ -f "$1" ] || return 1
  local header machine
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$header" ] || return 1
  machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ "$machine" = 014c ]
}

case "${1:-}" in
  --runs-32-bit)
    status=0
    runs_32_bit || status=$?
    if [ "$status" -eq 1 ]; then
      emulation_works
    fi
    exit "$status"
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
    status=0
    runs_32_bit >/dev/null 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      exec "$wine32" "$@"
    fi
    if [ "$status" -eq 1 ]; then
      loaders=$(emulation_folder)
      # A 32-bit program runs in the emulated loader's own process, so that
      # its end is this script's: started by the 64-bit loader it would be a
      # process of its own, whose death by a signal Wine reports as status 0.
      if is_32_bit_program "$1"; then
        exec "$loaders/wine" "$@"
      fi
      # The 64-bit programs find the 32-bit ones Wine provides (rundll32 and
      # the libraries a new prefix gets) in the folder of the 32-bit loader.
      dlls32=$(realpath "$(dirname "$emulated32")/../i386-linux-gnu/wine")
      export WINEDLLPATH=$dlls32${WINEDLLPATH:+:$WINEDLLPATH}
      exec "$loaders/wine64" "$@"
    fi
    export WINELOADER=$wine64
    exec "$wine64" "$@"
    ;;
esac
