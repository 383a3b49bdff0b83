# SPDX-License-Identifier: MIT
# What the install tests share: a check prints "ok - ..." or "not ok - ..."
# and counts its failures in FAILS, which the script ends with.

FAILS=0

check() { # description command...
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
    else
        echo "not ok - $what"
        FAILS=$((FAILS + 1))
    fi
}
