#!/usr/bin/env bash
# The viewer's window with the automatic read on while pcscd is stopped by SIGSTOP: prints
# the longest time between two repaints; fails when it is 100 ms or more. pcscd and the
# viewer run in a private mount namespace with a folder of their own over /run/pcscd, so
# a pcscd of the machine is never touched. Needs root (unshare -m) and pcscd.
# auto-read-stall.sh <build folder> [seconds]
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-10}
exec unshare -m bash -s "$build" "$seconds" <<'INNER'
set -euo pipefail
build=$1
seconds=$2
mkdir -p /run/pcscd
mount -t tmpfs tmpfs /run/pcscd
pcscd --foreground >/dev/null 2>&1 &
pcscd_pid=$!
trap 'kill -CONT "$pcscd_pid" 2>/dev/null; kill "$pcscd_pid" 2>/dev/null; wait "$pcscd_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [[ -S /run/pcscd/pcscd.comm ]] && break
    sleep 0.1
done
[[ -S /run/pcscd/pcscd.comm ]] || { echo "pcscd did not start" >&2; exit 2; }
kill -STOP "$pcscd_pid"
"$build/tests/bin/auto_read_stall_bench" "$seconds"
INNER
