#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it. Arguments go to the viewer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
viewer="$root/build/bin/voluni-viewer"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting the viewer on a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a "$viewer" "$@"
fi
exec "$viewer" "$@"
