# Sourced by tests/e2e/run and tests/e2e/make-docs: an X display (a private
# Xvfb when none is given), a private session bus, the pristine GIMP profile
# and the paths the Python side reads.  Cleans up on exit.  ZS_GIMP (from
# scripts/lib/platform.sh) tells the Python side which GIMP it drives, and
# scripts/lib/gimp.sh its programs (GIMP_CONSOLE, GIMP_GUI).
repo=$(pwd)
export PYTHONDONTWRITEBYTECODE=1
. scripts/lib/platform.sh
export ZS_GIMP ZS_GIMP_SERIES
. scripts/lib/gimp.sh
ZIPSTROKE_KEEP_DISPLAY=${DISPLAY:+1}
. scripts/lib/xvfb.sh

export E2E_PLUGIN="$repo/$ZS_BUILD/release/zipstroke"
export E2E_RENDER="$repo/$ZS_BUILD/release/tools/zipstroke-render"
e2e_state="$repo/$ZS_BUILD/e2e"
mkdir -p "$e2e_state"
E2E_WORK=$(mktemp -d "$e2e_state/run.XXXXXX")
export E2E_WORK

e2e_cleanup() {
  gimp_bus_stop
  xvfb_stop
  if [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_WORK"; fi
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

xvfb_start
gimp_bus_start "$E2E_WORK/bus"
export E2E_BUS_PGID="$GIMP_BUS_PID"
E2E_PROFILE=$(gimp_pristine_profile "$e2e_state/profile")
export E2E_PROFILE
