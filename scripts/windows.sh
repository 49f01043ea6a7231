#!/usr/bin/env bash
# Builds the Windows programs on Linux: installs the cross toolchain and Wine
# (and qemu-user, which runs Wine's 32-bit loader where the kernel cannot),
# builds the third-party libraries that Debian ships only for Linux (PCRE2 and
# a static Qt) when they are missing from the cache, then builds the project for
# 32-bit and 64-bit Windows into build/win32 and build/win64, with a dist/
# folder and a zip in each, and the installer build/kalvorin-setup.exe.
#
#   scripts/windows.sh [deps|build|installer|all]      default: all
#
# The cache lives outside the source tree, keyed by library, version and
# architecture, so only a fresh machine pays for the libraries:
#   ${KALVORIN_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvorin-win}
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$PWD

cache=${KALVORIN_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kalvorin-win}
pcre2_version=10.42
qt_version=6.4.2
jobs=$(nproc)

# Kalvorin.exe needs a static Qt. Building it takes 11 to 17 minutes per
# architecture on two cores, so only the 64-bit folder carries it: it runs on
# any 64-bit Windows, beside a 32-bit or a 64-bit mail client, and nothing
# passes between it and the plug-in but the registry and the base folder.
qt_arches=(x86_64)

# What of Qt Kalvorin.exe never uses, left out of the build to keep a fresh
# machine's first run short: the other modules, OpenGL and Vulkan (it paints
# with the raster engine), the Direct2D platform plug-in, touch gestures, the
# image formats, text formats and widgets it never shows. The windows and
# offscreen platform plug-ins stay; the offscreen one draws text with
# FreeType, which stays for it. Qt 6.4 builds its DirectWrite fonts only with
# the direct2d feature, so that feature stays and only direct2d1_1, which
# builds the Direct2D plug-in, goes.
qt_features_off=(
  sql network dbus printsupport concurrent xml testlib
  opengl dynamicgl vulkan direct2d1_1 gestures
  imageformatplugin gif ico jpeg movie pdf picture
  textodfwriter textmarkdownreader textmarkdownwriter
  graphicsview mdiarea calendarwidget datetimeedit lcdnumber dial splashscreen
  undocommand undostack undogroup undoview wizard colordialog fontdialog
  fontcombobox errormessage columnview datawidgetmapper keysequenceedit
  commandlinkbutton syntaxhighlighter systemtrayicon toolbox
  tabletevent sessionmanager
  system-zlib system-pcre2 system-freetype system-harfbuzz system-png system-jpeg
  system-doubleconversion
)
# The cache folder of the Qt build names its feature set, so that a change of
# the set builds it anew.
qt_key=$(printf '%s\n' "${qt_features_off[@]}" | md5sum | cut -c1-8)
qt_prefix() { echo "$cache/qt-$qt_version-$1-$qt_key"; }

log() { echo "windows: $*" >&2; }

sudo_cmd() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }

install_packages() {
  local packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                  wine wine64 wine32:i386 qemu-user ninja-build dpkg-dev zip
                  qt6-base-dev qt6-base-dev-tools cmake googletest nsis)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_cmd dpkg --add-architecture i386
  fi
  sudo_cmd apt-get update -qq
  sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Debian's source packages, for the libraries it ships only for Linux.
enable_sources() {
  local list=/etc/apt/sources.list.d/kalvorin-src.sources
  apt-cache showsrc pcre2 2>/dev/null | grep -q '^Package:' && return 0
  log "adding Debian's source packages to apt"
  sudo_cmd tee "$list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  sudo_cmd apt-get update -qq
}

# Unpacks Debian's source of PACKAGE (at VERSION when one is given) into the
# cache once, through a scratch folder, so that a cut-off download is never
# taken for a whole one; prints its folder.
source_of() {
  local package=$1 version=$2 pattern=$3 dir=$cache/src
  mkdir -p "$dir"
  if ! compgen -G "$dir/$pattern" >/dev/null; then
    enable_sources
    local scratch
    scratch=$(mktemp -d "$dir/.fetch.XXXXXX")
    if ! (cd "$scratch" && apt-get source -qq "$package${version:+=$version}" >&2); then
      rm -rf "$scratch"
      echo "windows: could not fetch the source of $package $version" >&2
      exit 1
    fi
    mv "$scratch"/$pattern "$dir/"
    rm -rf "$scratch"
  fi
  compgen -G "$dir/$pattern" | head -1
}

# The version of the installed Debian package.
installed_version() { dpkg-query -W -f='${Version}' "$1"; }

toolchain() { echo "$root/cmake/toolchain-mingw-$1.cmake"; }

build_pcre2() {
  local arch=$1 prefix=$cache/pcre2-$pcre2_version-$1
  [ -f "$prefix/.done" ] && return 0
  log "building PCRE2 $pcre2_version for $arch"
  local src bld=$cache/build/pcre2-$arch
  src=$(source_of pcre2 "" "pcre2-$pcre2_version")
  rm -rf "$bld" "$prefix"
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$arch")" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_SUPPORT_JIT=ON -DPCRE2_BUILD_TESTS=OFF -DPCRE2_BUILD_PCRE2GREP=OFF >/dev/null
  cmake --build "$bld" -j"$jobs" >/dev/null
  cmake --install "$bld" >/dev/null
  rm -rf "$bld"
  touch "$prefix/.done"
}

build_qt() {
  local arch=$1 prefix
  prefix=$(qt_prefix "$1")
  [ -f "$prefix/.done" ] && return 0
  log "building static Qt $qt_version for $arch (about 25 minutes on two cores)"
  local src bld=$cache/build/qt-$arch old
  # A build of another version or feature set is of no more use.
  for old in "$cache"/qt-*-"$arch" "$cache"/qt-*-"$arch"-*; do
    if [ -d "$old" ]; then rm -rf "$old"; fi
  done
  # The same version as the build machine's Qt, whose tools it uses.
  src=$(source_of qt6-base "$(installed_version qt6-base-dev)" "qt6-base-$qt_version*")
  rm -rf "$bld" "$prefix"
  local features=() f
  for f in "${qt_features_off[@]}"; do features+=("-DFEATURE_${f//-/_}=OFF"); done
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$arch")" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    "${features[@]}" >"$cache/qt-$arch-configure.log" 2>&1 \
    || { tail -30 "$cache/qt-$arch-configure.log" >&2; exit 1; }
  cmake --build "$bld" -j"$jobs" >"$cache/qt-$arch-build.log" 2>&1 \
    || { tail -30 "$cache/qt-$arch-build.log" >&2; exit 1; }
  cmake --install "$bld" >/dev/null
  rm -rf "$bld"
  touch "$prefix/.done"
}

deps() {
  install_packages
  for arch in i686 x86_64; do build_pcre2 "$arch"; done
  for arch in "${qt_arches[@]}"; do build_qt "$arch"; done
}

# Configures and builds one architecture into build/win32 or build/win64,
# its unit tests included (GoogleTest built from Debian's source in
# /usr/src/googletest; they run under Wine: ctest --test-dir build/win64, the
# 32-bit ones under user-mode emulation where the kernel cannot execute them).
build_arch() {
  local arch=$1 bits=$2 prefixes="$cache/pcre2-$pcre2_version-$1" with_config=OFF
  if [ -f "$(qt_prefix "$arch")/.done" ]; then
    prefixes="$prefixes;$(qt_prefix "$arch")"
    with_config=ON
  fi
  local bld=build/win$bits
  log "building the $bits-bit programs into $bld/dist"
  KALVORIN_WIN_PREFIX="$prefixes" cmake -S . -B "$bld" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$arch")" -DCMAKE_BUILD_TYPE=Release \
    -DKALVORIN_BUILD_TESTS=ON -DKALVORIN_BUILD_BENCH=OFF -DKALVORIN_BUILD_CONFIG=$with_config >/dev/null
  KALVORIN_WIN_PREFIX="$prefixes" cmake --build "$bld" -j"$jobs"
  package "$bld" "$bits"
}

# The zip a user unpacks into the mail client's plug-in folder: the plug-in,
# the programs and the runtime text files at its top level.
package() {
  local bld=$1 bits=$2 zipfile=$PWD/$1/kalvorin-win$2.zip
  rm -f "$zipfile"
  (cd "$bld/dist" && zip -q "$zipfile" ./*)
}

# The installer, build/kalvorin-setup.exe: the 64-bit programs and both
# architectures' plug-ins (installer/Kalvorin.nsi).
installer() {
  local version
  version=$(head -1 resources/version.ini | tr -d '\r')
  log "building the installer build/kalvorin-setup.exe"
  makensis -V2 -DVERSION="$version" -DDIST64="$root/build/win64/dist" -DDIST32="$root/build/win32/dist" \
    -DOUTFILE="$root/build/kalvorin-setup.exe" installer/Kalvorin.nsi >&2
}

build() {
  install_packages
  build_arch i686 32
  build_arch x86_64 64
  installer
}

case "${1:-all}" in
  deps) deps ;;
  build) build ;;
  installer) installer ;;
  all) deps; build ;;
  *) echo "usage: scripts/windows.sh [deps|build|installer|all]" >&2; exit 2 ;;
esac
