#!/usr/bin/env bash
# Configures (once) and builds one tree. Usage: build.sh <build-dir> [cmake -D options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" --parallel "$(nproc)"
