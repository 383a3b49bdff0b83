#!/bin/sh
# SPDX-License-Identifier: MIT
# The fault library does what the real-window tests rely on: writes to
# nopi.ini fail with ENOSPC while the flag file exists and work again once it
# is gone, other files and stdout/stderr are never touched, and an fsync of
# nopi.ini waits.
set -u
shim=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "shim_faults: $*"; exit 1; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Writes 16 bytes to a file and flushes them, as the store does.
save() {
    LD_PRELOAD=$shim NOPI_FAULT_DISK_FULL_FLAG=$dir/full NOPI_FAULT_FSYNC_DELAY_MS=${delay:-0} \
        perl -e 'use IO::Handle; open(my $f, ">", $ARGV[0]) or die "open: $!\n";
                 defined(syswrite($f, "x" x 16)) or die "write: $!\n";
                 $f->sync or die "fsync: $!\n"; close($f) or die "close: $!\n";
                 print "out\n"; print STDERR "err\n";' "$1"
}

touch "$dir/full"
save "$dir/nopi.ini" >"$dir/said" 2>&1 && fail "a write to nopi.ini succeeded on a full disk"
grep -q "write: No space left on device" "$dir/said" || fail "not ENOSPC: $(cat "$dir/said")"
save "$dir/other.conf" >"$dir/out" 2>"$dir/err" || fail "another file failed: $(cat "$dir/err")"
[ "$(cat "$dir/out" "$dir/err" | tr '\n' ' ')" = "out err " ] || fail "stdout or stderr failed"

rm "$dir/full"
save "$dir/nopi.ini" >/dev/null 2>&1 || fail "the flag gone, a write still failed"
[ "$(stat -c %s "$dir/nopi.ini")" = 16 ] || fail "nopi.ini was not written"

start=$(now_ms)
delay=300 save "$dir/.nopi.ini.tmp" >/dev/null 2>&1 || fail "a slow fsync failed"
[ $(($(now_ms) - start)) -ge 300 ] || fail "fsync of nopi.ini did not wait"
exit 0
