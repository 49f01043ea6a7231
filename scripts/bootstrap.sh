#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libpcre2-dev libsqlite3-dev qt6-base-dev libgmime-3.0-dev
  libgpgme-dev libidn2-dev libunistring-dev
  libgtest-dev libgmock-dev libbenchmark-dev valgrind
  clang libclang-rt-14-dev llvm
  procmail maildrop
  dpkg-dev file lintian desktop-file-utils man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
