#!/usr/bin/env bash
# Builds the Debian package from a Release configuration of its own (build-release/,
# reused when it is there) and puts it into build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build-release

options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
         -DVOLUNI_BUILD_TESTS=OFF -DVOLUNI_BUILD_BENCHMARKS=OFF)
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
"$root/scripts/build.sh" "$dir" "${options[@]}"
rm -f "$dir"/voluni-viewer_*.deb
(cd "$dir" && cpack -G DEB)

mkdir -p "$root/build"
rm -f "$root"/build/voluni-viewer_*.deb
cp "$dir"/voluni-viewer_*.deb "$root/build/"
ls "$root"/build/voluni-viewer_*.deb
