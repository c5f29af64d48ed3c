#!/usr/bin/env bash
# Cross-builds the Windows programs, then runs the tests against the x86_64 one under Wine on one private X display.
# Usage: scripts/test_windows.sh [--no-build] [TEST...]
#   --no-build tests what build-win64 already holds; TEST names end-to-end tests
#   (such as test_backup or test_robustness.DiskFullTest) to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

packages=(wine wine64 xvfb xdotool x11-utils libarchive-tools unzip python3)
bash scripts/install_missing.sh "${packages[@]}"

if [ "${1:-}" = "--no-build" ]; then
  shift
else
  bash scripts/build_windows.sh
fi

# Only the 64-bit loader can run programs here: this kernel cannot execute
# 32-bit code, so the i686 build is built but never run.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
exe=$root/build-win64/Quillfort.exe
unit_tests=$root/build-win64/tests/quillfort_tests.exe
[ -f "$exe" ] || { echo "no $exe: build it with scripts/build_windows.sh" >&2; exit 1; }

scratch=$(mktemp -d /tmp/qf-wine.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=
finish() {
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$scratch"
  echo "== Windows part took $((SECONDS - started)) s"
}
trap finish EXIT

# One display for every Wine process of the run; Xvfb picks a free number
# and writes it to fd 3. Wine reads DISPLAY when its first process starts.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  grep -q . "$scratch/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$scratch/display")"

# Wine's helper processes, started by wineboot, inherit its standard
# streams, which must therefore lead to none of ours. The start that creates
# the prefix leaves its services half up (no RPC service, so that every COM
# call of a program waits 10 s): let that server end, then start them again
# under a server that stays up between the test runs.
boot() {
  if ! "$wine" wineboot "$@" </dev/null >>"$scratch/wineboot.log" 2>&1; then
    cat "$scratch/wineboot.log" >&2
    echo "wineboot $* failed" >&2
    exit 1
  fi
}
boot -i
"$wineserver" -w
"$wineserver" -p </dev/null >/dev/null 2>&1
boot
echo "== Wine prefix ready after $((SECONDS - started)) s (display $DISPLAY)"

status=0
if [ -f "$unit_tests" ]; then
  echo "== unit tests under Wine"
  "$wine" "$unit_tests" </dev/null || status=1
else
  echo "== no $unit_tests: unit tests not run under Wine"
fi

echo "== end-to-end tests under Wine"
if [ $# -gt 0 ]; then
  modules="$*"
else
  modules=$(cd tests/e2e && ls test_*.py | sed 's/\.py$//')
fi
# shellcheck disable=SC2086
(cd tests/e2e && QUILLFORT=$exe QUILLFORT_WINE=$wine python3 -m unittest -v $modules) || status=1
exit $status
