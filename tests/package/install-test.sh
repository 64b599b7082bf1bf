#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it on this machine,
# uses what it installed as a person would (both commands, the menu entry's
# command, the entry file type), removes it again and checks that nothing of it
# is left. Needs root; elsewhere it is skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
package=voluni-viewer
entry_type=application/x-voluni-entry
sample=/usr/share/voluni-viewer/samples/sample.ent

if [ "$(id -u)" -ne 0 ]; then
    echo "package test skipped: installing the package on this machine needs root"
    exit 0
fi

fail() { echo "package test FAILED: $*" >&2; exit 1; }
step() { echo "package test: $*"; }
installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; }

work=$(mktemp -d)
xvfb_pid=
viewer_pid=
cleanup() {
    [ -z "$viewer_pid" ] || kill "$viewer_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    if installed; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

"$root/scripts/package.sh"
debs=("$root"/build/"$package"_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package in build/, found ${debs[*]}"

step "lintian"
lintian --fail-on error "${debs[0]}" || fail "lintian reports errors"

# A package left by an earlier run would make apt keep it instead of this build.
if installed; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null
fi
step "installing $(basename "${debs[0]}")"
(cd "$root" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./build/"$(basename "${debs[0]}")" >"$work/apt.log" 2>&1) \
    || { cat "$work/apt.log" >&2; fail "apt-get install"; }
dpkg -L "$package" | grep -vx '/\.' >"$work/files"

# The installed programs run as a user would run them: nothing of the test
# environment points them elsewhere.
unset VOLUNI_DATA_DIR QT_QPA_PLATFORM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

step "voluni --help"
/usr/bin/voluni --help | grep -q '^Usage:' || fail "voluni --help prints no usage"

step "the card watcher's user unit"
unit=/usr/lib/systemd/user/voluni-watch.service
[ -f "$unit" ] || fail "$unit not installed"
grep -qx 'ExecStart=/usr/bin/voluni watch' "$unit" || fail "$unit does not start /usr/bin/voluni watch"
grep -qx 'WantedBy=default.target' "$unit" || fail "$unit cannot be enabled for a login"
# Installed, not enabled: each person turns it on.
[ ! -e /etc/systemd/user/default.target.wants/voluni-watch.service ] || fail "the watcher is enabled for everyone"

step "voluni show $sample"
/usr/bin/voluni show "$sample" --format csv >"$work/show.csv" || fail "voluni show exits with $?"
grep -q '東京' "$work/show.csv" || fail "voluni show: no entries of the sample"

step "voluni read names stations from the installed database"
/usr/bin/voluni read --card-image "$root/data/samples/commute.json" --polling-time 0 --format csv >"$work/read.csv" \
    || fail "voluni read exits with $?"
grep -q '東京' "$work/read.csv" || fail "voluni read: stations not named"

step "viewer from the menu entry's command"
Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
command=$(sed -n 's/^Exec=//p' /usr/share/applications/voluni-viewer.desktop)
# shellcheck disable=SC2086 # the entry's command line is split into words as a launcher does
QT_QPA_PLATFORM=xcb ${command//%f/$sample} 2>"$work/viewer.log" &
viewer_pid=$!
shown=
for _ in $(seq 75); do
    kill -0 "$viewer_pid" 2>/dev/null || { cat "$work/viewer.log" >&2; fail "the viewer ended"; }
    if xwininfo -root -tree | grep -q '"Voluni  Viewer - '; then shown=1; break; fi
    sleep 0.2
done
[ -n "$shown" ] || { cat "$work/viewer.log" >&2; fail "no main window within 15 s"; }
kill "$viewer_pid"
wait "$viewer_pid" 2>/dev/null || true
viewer_pid=

step "entry files open with the viewer"
type=$(gio info -a standard::content-type "$sample" | sed -n 's/^ *standard::content-type: //p')
[ "$type" = "$entry_type" ] || fail "$sample has the type '$type'"
default=$(xdg-mime query default "$entry_type")
[ "$default" = "voluni-viewer.desktop" ] || fail "xdg-mime gives '$default' for $entry_type"

step "removing the package"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null
left=()
while read -r path; do
    [ -e "$path" ] || continue
    # Folders such as /usr/share/man/man1 belong to other packages too.
    if [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1; then
        continue
    fi
    left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
[ -z "$(xdg-mime query default "$entry_type")" ] || fail "$entry_type still has a default application"

step "passed"
