#!/bin/bash
# SPDX-License-Identifier: MIT
# Installs the Debian package that scripts/package built into a throwaway root
# with dpkg --root, and checks it as a distribution would: the exact file list,
# the control fields, ELF files that are stripped (their debugging symbols in
# the -dbgsym package), hardened and free of RUNPATH, a sound module that
# names libc and leaves no symbol unresolved, the compressed man page, the
# installed program's --version and the files it finds; then that removing
# the package leaves nothing behind.
#
#   deb.sh PACKAGE_DIR       the folder holding nopi_*.deb (build-deb/)
#
# Checks print "ok - ..." or "not ok - ..."; the script ends with the number
# of failed checks.

set -u
export LC_ALL=C.UTF-8

DIR=$(readlink -f "${1:?usage: $0 path/to/build-deb}")
for tool in dpkg dpkg-deb dpkg-architecture readelf ldd groff; do
    command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
done
arch=$(dpkg --print-architecture)
DEB=$(ls "$DIR"/nopi_*_"$arch".deb 2> /dev/null)
DBGSYM=$(ls "$DIR"/nopi-dbgsym_*_"$arch".deb 2> /dev/null)
if [ "$(echo "$DEB" | wc -w)" != 1 ]; then
    echo "not ok - one package nopi_*_$arch.deb in $DIR (scripts/package builds it): found ${DEB:-none}"
    exit 1
fi
MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
VERSION=$(dpkg-deb -f "$DEB" Version)
echo "# package: $DEB (version $VERSION)"

WORK=$(readlink -f "$(mktemp -d /tmp/nopi-deb.XXXXXX)")
ROOT=$WORK/root
trap 'rm -rf "$WORK"' EXIT

. "$(dirname "$0")/checks.sh"

# An empty dpkg database of its own: dpkg installs into ROOT and nowhere else.
# The package's dependencies are the host's, so they are not asked for there.
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
touch "$ROOT/var/lib/dpkg/status" "$ROOT/var/lib/dpkg/available"
root_dpkg() { dpkg --root="$ROOT" --force-depends --force-not-root --log=/dev/null "$@" >> "$WORK/dpkg.log" 2>&1; }
if ! root_dpkg --install "$DEB"; then
    sed 's/^/# /' "$WORK/dpkg.log"
    echo "not ok - dpkg installs the package into a throwaway root"
    exit 1
fi
echo "ok - dpkg installs the package into a throwaway root"

# ---- What is installed ------------------------------------------------------

{
    grep -v '^#' "$(dirname "$0")/installed-files" | sed "s|@LIBDIR@|lib/$MULTIARCH|; s|/man1/nopi\.1$|&.gz|"
    echo /usr/share/doc/nopi/changelog.gz
    echo /usr/share/doc/nopi/copyright
} | sort > "$WORK/expected"
(cd "$ROOT" && find . -path ./var/lib/dpkg -prune -o \( -type f -o -type l \) -print | sed 's/^\.//' | sort) \
    > "$WORK/installed"
check "the package installs exactly the expected files" diff -u "$WORK/expected" "$WORK/installed"

depends=$(dpkg-deb -f "$DEB" Depends)
echo "# Depends: $depends"
for package in fonts-ipafont-gothic fonts-ipafont-mincho libqt6multimedia6 libqt6widgets6; do
    check "the package depends on $package" grep -qE "(^|, )$package( |,|$)" <<< "$depends"
done
check "the copyright file is machine-readable and names the MIT licence" \
    grep -qx 'License: MIT' "$ROOT/usr/share/doc/nopi/copyright"

# ---- The ELF files ------------------------------------------------------------

[ -z "$DBGSYM" ] || dpkg-deb -c "$DBGSYM" > "$WORK/dbgsym"
touch "$WORK/dbgsym"
PROGRAM=$ROOT/usr/bin/nopi
MODULE=$ROOT/usr/lib/$MULTIARCH/nopi/nopi-sound.so
for elf in "$PROGRAM" "$MODULE"; do
    name=${elf#"$ROOT"}
    readelf --wide --sections --dynamic --program-headers --notes "$elf" > "$WORK/elf" 2>&1
    check "$name has no RUNPATH or RPATH" bash -c "! grep -qE '\((RUNPATH|RPATH)\)' '$WORK/elf'"
    check "$name is stripped" bash -c "! grep -qE ' \.(symtab|debug_[a-z]+) ' '$WORK/elf'"
    check "$name binds every symbol at load (bindnow)" grep -qE '\(FLAGS(_1)?\).*\bNOW\b' "$WORK/elf"
    check "$name has a read-only relocation segment (relro)" grep -q 'GNU_RELRO' "$WORK/elf"
    # Its debugging symbols are in the -dbgsym package, found by build-id.
    id=$(sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p' "$WORK/elf")
    debug=/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
    in_dbgsym() { [ -n "$id" ] && grep -qF " .$debug" "$WORK/dbgsym"; }
    check "$name's debugging symbols are in the -dbgsym package ($debug)" in_dbgsym
done
check "/usr/bin/nopi is a position-independent executable" \
    bash -c "readelf --wide --dynamic '$PROGRAM' | grep -qE '\(FLAGS_1\).*\bPIE\b'"
check "the sound module names libc" \
    bash -c "readelf --dynamic '$MODULE' | grep -q 'NEEDED.*\[libc\.so\.6\]'"
ldd -r "$MODULE" > "$WORK/ldd" 2>&1
check "the sound module leaves no symbol unresolved" bash -c "! grep -qE 'undefined symbol|not found' '$WORK/ldd'"

# ---- The man page -------------------------------------------------------------

MANPAGE=$ROOT/usr/share/man/man1/nopi.1.gz
renders_cleanly() {
    gzip -dc "$MANPAGE" > "$WORK/nopi.1" || return 1
    groff -man -Tutf8 -ww -z "$WORK/nopi.1" > "$WORK/groff.log" 2>&1 || return 1
    sed 's/^/# /' "$WORK/groff.log"
    [ ! -s "$WORK/groff.log" ]
}
check "the compressed man page renders without warnings" renders_cleanly
for section in SYNOPSIS OPTIONS KEYS FILES ENVIRONMENT 'EXIT STATUS' BUGS COPYRIGHT 'SEE ALSO'; do
    check "the man page has $section" grep -qx "\.SH \"\?$section\"\?" "$WORK/nopi.1"
done

# ---- The installed program ------------------------------------------------------

mkdir -p "$WORK/config" "$WORK/home"
mkdir -m 700 "$WORK/runtime"
run_installed() { # option
    env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" \
        QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.multimedia*=false' timeout 5 "$PROGRAM" "$1"
}
version=$(run_installed --version 2> "$WORK/version.err")
echo "# --version: $version"
check "the installed program prints the package's version" [ "$version" = "nopi $VERSION" ]
run_installed --help > "$WORK/help" 2> "$WORK/help.err"
check "the installed program finds BEEP in the package" grep -qx "  sound: $ROOT/usr/share/nopi/BEEP" "$WORK/help"
check "the installed program finds its sound player in the package" \
    grep -qx "  sound player: $MODULE" "$WORK/help"

# ---- Removal ------------------------------------------------------------------

if root_dpkg --purge nopi; then
    (cd "$ROOT" && find . -mindepth 1 -path ./var -prune -o -print) > "$WORK/left"
    sed 's/^/# left behind: /' "$WORK/left"
    check "removing the package leaves no file or folder behind" [ ! -s "$WORK/left" ]
else
    sed 's/^/# /' "$WORK/dpkg.log"
    check "dpkg removes the package" false
fi

exit "$FAILS"
