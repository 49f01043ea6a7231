#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a packager and
# a mail administrator would: lintian finds no error, the package installs
# with dpkg -i into a fresh root, the installed programs find their plug-in
# and texts from there, the manual pages render without a warning, and the
# README's procmail recipe, run by procmail with the installed kalvorin-host,
# delivers a sample message with its score field.
#
#   scripts/package.sh [BUILD_DIR]     (build/ unless given; already built)
#
# The package ends in BUILD_DIR/package/. The fresh root is a folder with an
# empty dpkg database of its own (dpkg --root): no network and no chroot are
# needed. Its Depends are the host's own libraries, which the root does not
# hold, so they are forced there; the programs run from the root with the
# host's libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)

fail() { echo "package: $*" >&2; exit 1; }

# The package installs under /usr; the programs find the plug-in and the
# texts from their folder, so only the paths compiled in change with it.
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/package/kalvorin_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package in $build/package"
deb=${debs[0]}
echo "package: $deb" >&2
dpkg-deb --field "$deb" Package Version Architecture Depends >&2

# Errors fail the stage; warnings are shown. The tags overridden, with their
# reasons, are in resources/linux/lintian-overrides.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2 || fail "lintian found errors"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: > "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }
dpkg --root="$root" -s kalvorin | grep -qx 'Status: install ok installed' || fail "not installed in $root"

usr=$root/usr
plugin=$(dpkg --root="$root" -L kalvorin | grep '/Kalvorin.TBP$') || fail "the package holds no plug-in"
for f in bin/kalvorin-host bin/kalvorin-reg bin/kalvorin-lint bin/Kalvorin "${plugin#/usr/}" \
  share/kalvorin/version.ini share/kalvorin/lang.eng.txt share/applications/kalvorin.desktop \
  share/icons/hicolor/scalable/apps/kalvorin.svg share/doc/kalvorin/copyright share/doc/kalvorin/changelog.gz \
  share/man/man1/kalvorin-host.1.gz share/man/man1/kalvorin-reg.1.gz share/man/man1/kalvorin-lint.1.gz \
  share/man/man1/Kalvorin.1.gz; do
  [ -f "$usr/$f" ] || fail "the package does not install /usr/$f"
done
desktop-file-validate "$usr/share/applications/kalvorin.desktop"

# Every page renders without a warning and names its program.
for page in "$usr"/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  lexgrog "$page" >/dev/null || fail "$(basename "$page"): no NAME section lexgrog can read"
done

# The installed programs, away from the build: each answers --version with
# the package's version.
version=$(dpkg-deb --field "$deb" Version)
for p in kalvorin-host kalvorin-reg kalvorin-lint Kalvorin; do
  got=$(env -u DISPLAY "$usr/bin/$p" --version)
  [ "$got" = "$p $version" ] || fail "$p --version says '$got', not '$p $version'"
done

home=$work/home
mkdir -p "$home"
export HOME=$home KALVORIN_HIVE=$home/hive.db KALVORIN_LOCK_WAIT=0
unset XDG_DATA_HOME XDG_CONFIG_HOME

# The installed window makes its own folder from the installed texts and
# stores it as the base folder.
QT_QPA_PLATFORM=offscreen "$usr/bin/Kalvorin" --print-checks >/dev/null 2>"$work/window.log" ||
  { cat "$work/window.log" >&2; fail "the installed window did not start cleanly"; }
own=$home/.local/share/kalvorin
for f in version.ini lang.txt secure.filters.txt; do
  [ -f "$own/$f" ] || fail "the installed window did not make $own/$f"
done
"$usr/bin/kalvorin-reg" query 'HKCU\Software\kalvorin\directorys' /v basefolder | grep -qF "$own" ||
  fail "the installed window did not store $own as the base folder"

# The README's procmail recipe, as it stands there, with the installed
# kalvorin-host first on procmail's PATH and the demo lists in the base
# folder. The score proves that the host found the installed plug-in.
cp resources/demo/base/*.filters.txt "$own/"
recipe=$(awk '/^<!-- recipe: procmail -->$/ {on = 1; next}
              on && /^    / {print substr($0, 5); next}
              on && /^$/ {print; next}
              on {exit}' README.md)
[ -n "$recipe" ] || fail "no procmail recipe in README.md"
for box in Maildir Maildir/.Spam; do mkdir -p "$home/$box/cur" "$home/$box/new" "$home/$box/tmp"; done
rc=$home/.procmailrc
# procmail takes HOME from the account, so the file sets it first.
printf 'SHELL=/bin/sh\nPATH=%s:/usr/bin:/bin\nHOME=%s\nDEFAULT=$HOME/Maildir/\nKALVORIN_HIVE=%s\nKALVORIN_LOCK_WAIT=0\n%s\n' \
  "$usr/bin" "$home" "$KALVORIN_HIVE" "$recipe" > "$rc"
chmod 600 "$rc"
sample=resources/demo/messages/04-viagra.eml
procmail -m "$rc" < "$sample" || fail "procmail failed on $sample"
delivered=("$home"/Maildir/.Spam/new/*)
[ ${#delivered[@]} = 1 ] && [ -f "${delivered[0]}" ] || fail "$sample did not land in the Spam folder"
head -n 1 "${delivered[0]}" | grep -qE '^X-Kalvorin-Score: [1-9]' ||
  fail "the delivered $sample carries no positive X-Kalvorin-Score field"
echo "package: lintian, dpkg -i into a fresh root and the procmail recipe passed" >&2
