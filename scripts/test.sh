#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration and
# runs the whole test suite in both; then builds the Debian package, installs,
# tries and removes it (as root; skipped otherwise).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc)

"$root/scripts/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

"$root/scripts/build.sh" "$root/build-asan" -DVOLUNI_SANITIZE=ON -DVOLUNI_BUILD_BENCHMARKS=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

"$root/tests/package/install-test.sh"
