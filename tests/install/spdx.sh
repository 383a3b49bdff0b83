#!/bin/bash
# SPDX-License-Identifier: MIT
# Lists every source file of the tree that lacks its licence line, and fails
# when there is one.
#
#   spdx.sh SOURCE_DIR
#
# Source files are what the project writes by hand or by its own generators
# as text: C and C++, shell, Python, CMake, the scripts in scripts/ and .ci/
# (any file that starts with #!), desktop entries, XML (SVG drawings and the
# AppStream file), the man page, and the packaging's rules, control and
# lintian overrides. Each carries "SPDX-License-Identifier: MIT" in its first
# three lines (after a shebang or an XML declaration); the AppStream file
# carries the licence it declares in <metadata_license> instead. Data files
# (pictures, the sound, the test seed .ini files) and files whose format has
# no comments (debian/changelog, debian/copyright, debian/source/format) are
# covered by debian/copyright.
#
# Checks print "ok - ..." or "not ok - ..."; the script ends with the number
# of failed checks.

set -u
export LC_ALL=C.UTF-8

TREE=$(readlink -f "${1:?usage: $0 path/to/source}")
WORK=$(mktemp -d /tmp/nopi-spdx.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
FAILS=0

is_source() { # path relative to the tree, tree
    case "$1" in
        *.c | *.h | *.cpp | *.hpp | *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt \
            | *.desktop | *.xml | *.svg | *.1 \
            | debian/rules | debian/control | debian/*lintian-overrides | debian/source/*lintian-overrides)
            return 0 ;;
        scripts/* | .ci/*)
            case "${1##*/}" in *.*) ;; *) return 0 ;; esac ;;
    esac
    [ "$(head -c 2 "$2/$1" 2> /dev/null)" = '#!' ]
}

# The licence a file must name: MIT, or for AppStream metadata the one it
# declares for itself.
wanted_licence() { # file
    case "$1" in
        *.metainfo.xml | *.appdata.xml)
            sed -n 's|.*<metadata_license>\([^<]*\)</metadata_license>.*|\1|p' "$1" | head -1 ;;
        *) echo MIT ;;
    esac
}

# Prints the source files of TREE that lack the line; their count on stderr.
missing_lines() { # tree
    local tree=$1 path licence count=0
    (
        cd "$tree" || exit 1
        if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
            # Tracked and new files, without what .gitignore leaves out
            # (build folders); a file deleted but not yet committed is gone.
            git ls-files --cached --others --exclude-standard
        else
            find . -path ./.git -prune -o -path './build*' -prune -o -type f -print | sed 's|^\./||'
        fi
    ) | sort -u > "$WORK/files"
    while IFS= read -r path; do
        [ -f "$tree/$path" ] || continue
        is_source "$path" "$tree" || continue
        count=$((count + 1))
        licence=$(wanted_licence "$tree/$path")
        head -n 3 "$tree/$path" | grep -qF "SPDX-License-Identifier: ${licence:-?}" || echo "$path"
    done < "$WORK/files"
    echo "$count" >&2
}

# The check itself, on a small tree: it must name exactly the files that
# lack the line, whatever kind of source they are.
SAMPLE=$WORK/sample
mkdir -p "$SAMPLE/scripts" "$SAMPLE/ui" "$SAMPLE/debian"
printf '// SPDX-License-Identifier: MIT\nint x;\n' > "$SAMPLE/good.cpp"
printf '#!/bin/sh\n# SPDX-License-Identifier: MIT\n' > "$SAMPLE/scripts/good"
printf '<?xml version="1.0"?>\n<!-- SPDX-License-Identifier: CC0-1.0 -->\n<component><metadata_license>CC0-1.0</metadata_license></component>\n' \
    > "$SAMPLE/ui/good.metainfo.xml"
printf 'PNG' > "$SAMPLE/ui/picture.png"
printf 'int y;\n' > "$SAMPLE/bad.cpp"
printf '#!/bin/sh\necho\n' > "$SAMPLE/scripts/bad"
printf '#!/usr/bin/make -f\n' > "$SAMPLE/debian/rules"
printf '<?xml version="1.0"?>\n<!-- SPDX-License-Identifier: MIT -->\n<component><metadata_license>CC0-1.0</metadata_license></component>\n' \
    > "$SAMPLE/ui/bad.metainfo.xml"
printf '.TH X 1\n' > "$SAMPLE/ui/bad.1"
printf 'bad.cpp\ndebian/rules\nscripts/bad\nui/bad.1\nui/bad.metainfo.xml\n' > "$WORK/sample.expected"
missing_lines "$SAMPLE" > "$WORK/sample.found" 2> /dev/null
if diff -u "$WORK/sample.expected" "$WORK/sample.found" > "$WORK/sample.diff"; then
    echo "ok - the check names exactly the files without the line in a sample tree"
else
    sed 's/^/# /' "$WORK/sample.diff"
    echo "not ok - the check names exactly the files without the line in a sample tree"
    FAILS=$((FAILS + 1))
fi

missing_lines "$TREE" > "$WORK/missing" 2> "$WORK/count"
count=$(cat "$WORK/count")
echo "# source files checked: $count"
# A listing that finds next to nothing would pass without checking anything.
if [ "$count" -ge 100 ] && grep -qx 'CMakeLists.txt' "$WORK/files" && grep -qx 'app/main.cpp' "$WORK/files"; then
    echo "ok - the tree's source files are found"
else
    echo "not ok - the tree's source files are found (only $count)"
    FAILS=$((FAILS + 1))
fi
while IFS= read -r path; do
    echo "not ok - $path has no SPDX-License-Identifier line"
    FAILS=$((FAILS + 1))
done < "$WORK/missing"
[ -s "$WORK/missing" ] || echo "ok - every source file has its SPDX-License-Identifier line"

exit "$FAILS"
