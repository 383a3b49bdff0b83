#!/bin/bash
# SPDX-License-Identifier: MIT
# Installs the built tree with prefix /usr into a temporary DESTDIR and checks
# what lands there: the exact file list, that install_manifest.txt names every
# installed path and nothing else (so an uninstall leaves nothing behind), the
# desktop file, the AppStream file, the man page, the program's RUNPATH and
# libraries, that the installed program finds its sound and the sound's
# player inside the installed tree, and that the README's removal steps
# leave nothing of Nopi's behind.
#
#   install.sh BUILD_DIR [LIBDIR]     LIBDIR: CMAKE_INSTALL_LIBDIR, "lib" when left out
#
# Checks print "ok - ..." or "not ok - ..."; the script ends with the number
# of failed checks.

set -u
export LC_ALL=C.UTF-8

BUILD=$(readlink -f "${1:?usage: $0 path/to/build [libdir]}")
LIBDIR=${2:-lib}
[ -f "$BUILD/cmake_install.cmake" ] || { echo "not ok - no configured build at $BUILD"; exit 1; }
for tool in cmake desktop-file-validate appstreamcli readelf; do
    command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
done

# Canonical, because the program reports its own folder resolved.
WORK=$(readlink -f "$(mktemp -d /tmp/nopi-install.XXXXXX)")
DEST=$WORK/dest
MANIFEST=$BUILD/install_manifest.txt

# cmake --install writes its manifest into the build folder; a real install's
# manifest there is what a later uninstall needs, so it is put back.
had_manifest=0
if [ -f "$MANIFEST" ]; then
    cp -p "$MANIFEST" "$WORK/manifest.before"
    had_manifest=1
fi
cleanup() {
    if [ "$had_manifest" = 1 ]; then
        cp -p "$WORK/manifest.before" "$MANIFEST"
    else
        rm -f "$MANIFEST"
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

. "$(dirname "$0")/checks.sh"

if ! DESTDIR=$DEST cmake --install "$BUILD" --prefix /usr > "$WORK/install.log" 2>&1; then
    cat "$WORK/install.log"
    echo "not ok - cmake --install into a temporary DESTDIR"
    exit 1
fi
echo "ok - cmake --install into a temporary DESTDIR"
cp "$MANIFEST" "$WORK/manifest"

# ---- What is installed ------------------------------------------------------

grep -v '^#' "$(dirname "$0")/installed-files" | sed "s|@LIBDIR@|$LIBDIR|" | sort > "$WORK/expected"
# Links count as installed paths too: a link missing from the manifest is
# what an uninstall leaves dangling.
(cd "$DEST" && find . \( -type f -o -type l \) | sed 's/^\.//' | sort) > "$WORK/installed"
check "the installed files are exactly the expected ones" diff -u "$WORK/expected" "$WORK/installed"
echo "# installed:"
sed 's/^/#   /' "$WORK/installed"

sed "s|^$DEST||" "$WORK/manifest" | sort > "$WORK/manifest.paths"
check "install_manifest.txt names every installed path and nothing else" \
    diff -u "$WORK/manifest.paths" "$WORK/installed"
# The manifest names the paths without DESTDIR and ends without a line feed.
missing=0
while IFS= read -r path || [ -n "$path" ]; do
    [ -e "$DEST${path#"$DEST"}" ] || [ -L "$DEST${path#"$DEST"}" ] || { echo "# in the manifest but missing: $path"; missing=1; }
done < "$WORK/manifest"
check "every path in install_manifest.txt exists" [ "$missing" = 0 ]

# ---- Desktop integration files ----------------------------------------------

DESKTOP=$DEST/usr/share/applications/io.github.nopi.Nopi.desktop
METAINFO=$DEST/usr/share/metainfo/io.github.nopi.Nopi.metainfo.xml
MANPAGE=$DEST/usr/share/man/man1/nopi.1
check "desktop-file-validate accepts the desktop file" desktop-file-validate "$DESKTOP"
check "the desktop file starts the installed command" grep -qx 'Exec=nopi' "$DESKTOP"
check "the desktop file names the installed icon" grep -qx 'Icon=nopi' "$DESKTOP"
if appstreamcli validate --no-net "$METAINFO" > "$WORK/appstream.log" 2>&1; then
    echo "ok - appstreamcli validate accepts the metainfo file"
else
    sed 's/^/# /' "$WORK/appstream.log"
    echo "not ok - appstreamcli validate accepts the metainfo file"
    FAILS=$((FAILS + 1))
fi
check "the metainfo file launches the installed desktop file" \
    grep -q '<launchable type="desktop-id">io.github.nopi.Nopi.desktop</launchable>' "$METAINFO"

if command -v groff > /dev/null; then
    renders_cleanly() {
        groff -man -Tutf8 -ww -z "$MANPAGE" > "$WORK/groff.log" 2>&1 || return 1
        sed 's/^/# /' "$WORK/groff.log"
        [ ! -s "$WORK/groff.log" ]
    }
    check "the man page renders without warnings" renders_cleanly
    check "the man page is nopi(1)" grep -q '^\.TH NOPI 1 ' "$MANPAGE"
else
    echo "# skipped: groff is missing, the man page is not rendered"
fi

# ---- The installed program ----------------------------------------------------

PROGRAM=$DEST/usr/bin/nopi
check "the installed program is executable" [ -x "$PROGRAM" ]
# Every RUNPATH/RPATH folder must exist in the installed tree (for $ORIGIN)
# or on the system, and none may point into the build or source tree.
runpath_ok=1
readelf -d "$PROGRAM" > "$WORK/dynamic" || runpath_ok=0
sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p' "$WORK/dynamic" | tr ':' '\n' > "$WORK/runpath"
while IFS= read -r folder; do
    [ -n "$folder" ] || continue
    echo "# RUNPATH folder: $folder"
    case "$folder" in
        '$ORIGIN'*) resolved=$DEST/usr/bin${folder#'$ORIGIN'} ;;
        *) resolved=$folder ;;
    esac
    case "$folder" in
        "$BUILD"* | "$(dirname "$BUILD")"*) echo "# points into the build tree: $folder"; runpath_ok=0 ;;
    esac
    [ -d "$resolved" ] || { echo "# missing folder: $folder"; runpath_ok=0; }
done < "$WORK/runpath"
check "no RUNPATH or RPATH names a missing folder or the build tree" [ "$runpath_ok" = 1 ]

# The program prints where its sound is on --help; installed, that is
# ../share/nopi/BEEP from its folder, which lies inside DESTDIR here.
mkdir -p "$WORK/config" "$WORK/home"
mkdir -m 700 "$WORK/runtime"
env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" \
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.multimedia*=false' \
    timeout 2 "$PROGRAM" --help > "$WORK/help" 2> "$WORK/help.err"
status=$?
check "--help prints and exits 0" [ "$status" = 0 ]
sound=$(sed -n 's/^  sound: //p' "$WORK/help")
echo "# sound file named by --help: ${sound:-none}"
sound_installed() { [ -n "$sound" ] && [[ "$sound" == "$DEST"/* ]] && [ -f "$sound" ]; }
check "the installed program finds BEEP inside the installed tree" sound_installed
player=$(sed -n 's/^  sound player: //p' "$WORK/help")
echo "# sound player named by --help: ${player:-none}"
check "the installed program finds its sound player inside the installed tree" \
    [ "$player" = "$DEST/usr/$LIBDIR/nopi/nopi-sound.so" ]
# Qt Multimedia is loaded with the player at the first alarm, not at start.
check "the installed program does not link Qt Multimedia" \
    bash -c "! grep -q 'NEEDED.*Multimedia' '$WORK/dynamic'"

# ---- Removal, as the README gives it --------------------------------------------

# The manifest's files, then the two folders of Nopi's own that the manifest
# does not name; the shared folders (bin, applications, icons, ...) stay.
sed "s|^|$DEST|" "$WORK/manifest" | xargs rm -f
(cd "$DEST" && find . \( -type f -o -type l \) | sed 's/^\.//') > "$WORK/left"
sed 's/^/# left behind: /' "$WORK/left"
check "removing the manifest's files leaves no file behind" [ ! -s "$WORK/left" ]
(cd "$DEST" && find . -type d -name nopi | sed 's/^\.//' | sort) > "$WORK/ours"
printf '%s\n' "/usr/$LIBDIR/nopi" /usr/share/nopi | sort > "$WORK/ours.expected"
check "what is left of ours is the empty share/nopi and $LIBDIR/nopi" diff -u "$WORK/ours.expected" "$WORK/ours"
rmdir "$DEST/usr/share/nopi" "$DEST/usr/$LIBDIR/nopi"
check "rmdir removes them" bash -c "[ -z \"\$(find '$DEST' -type d -name nopi)\" ]"

exit "$FAILS"
