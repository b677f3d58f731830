# Helpers for running the real GIMP (2.10, 3.0 or 3.2: the one that
# scripts/lib/platform.sh finds) with a throw-away profile.  Source it; every
# function keeps to the paths it is given.  (The end-to-end runner
# copies the pristine profile into a fresh HOME for every GIMP it starts.)
#
#   gimp_pristine_profile CACHE   make once (and reuse) a profile that GIMP has
#                                 already set up; prints its HOME
#   gimp_install_plugin HOME PLUGIN
#                                 install the plug-in into the personal folder
#                                 of a throw-away HOME (gimp_config_dir)
#   gimp_personal_dir             the personal folder GIMP uses for this user,
#                                 as GIMP finds it
#   gimp_bus_start DIR / gimp_bus_stop
#                                 a private session bus (and with it the
#                                 accessibility bus) in its own process group

[ -n "${ZS_GIMP:-}" ] || . scripts/lib/platform.sh
# The one place that names each version's programs, profile folder and the
# batch command that ends GIMP.
GIMP_SERIES=$ZS_GIMP_SERIES
# The first of these programs that is installed: GIMP 3.0 and 3.2 both have
# gimp-console-3 and gimp-3, but not each other's gimp-console-3.x.
gimp_program() {
  for _p in "$@"; do
    if command -v "$_p" >/dev/null 2>&1; then echo "$_p"; return 0; fi
  done
  echo "$1"
}
if [ "$ZS_GIMP" = 3 ]; then
  GIMP_CONSOLE=${GIMP_CONSOLE:-$(gimp_program gimp-console-3 "gimp-console-$GIMP_SERIES" gimp-console)}
  GIMP_GUI=${GIMP_GUI:-$(gimp_program gimp-3 "gimp-$GIMP_SERIES" gimp)}
else
  GIMP_CONSOLE=${GIMP_CONSOLE:-gimp-console-$GIMP_SERIES}
  GIMP_GUI=${GIMP_GUI:-gimp-$GIMP_SERIES}
fi
export GIMP_CONSOLE GIMP_GUI

# The personal folder of a throw-away HOME, whose GIMP runs without
# XDG_CONFIG_HOME or GIMP's own override.
gimp_config_dir() {
  echo "$1/.config/GIMP/$GIMP_SERIES"
}

# The personal folder as GIMP finds it: the folder GIMP3_DIRECTORY (GIMP 3)
# or GIMP2_DIRECTORY (GIMP 2.10) names, a relative one inside HOME; else
# GIMP/<series> in XDG_CONFIG_HOME, by default ~/.config.
gimp_personal_dir() {
  if [ "$ZS_GIMP" = 3 ]; then _override=${GIMP3_DIRECTORY:-}; else _override=${GIMP2_DIRECTORY:-}; fi
  case "$_override" in
    "") echo "${XDG_CONFIG_HOME:-$HOME/.config}/GIMP/$GIMP_SERIES" ;;
    /*) echo "$_override" ;;
    *) echo "$HOME/$_override" ;;
  esac
}

gimp_install_plugin() {
  gimp_install_plugin_in "$(gimp_config_dir "$1")" "$2"
}

# Installs the plug-in into the personal folder DIR, as gimptool's
# --install-bin does: DIR/plug-ins/zipstroke/zipstroke.
gimp_install_plugin_in() {
  _dir="$1/plug-ins/zipstroke"
  mkdir -p "$_dir"
  # Copied aside and renamed over the old copy, which a running GIMP may be
  # executing.
  cp "$2" "$_dir/.zipstroke.new"
  chmod 755 "$_dir/.zipstroke.new"
  mv -f "$_dir/.zipstroke.new" "$_dir/zipstroke"
}

# The first start of GIMP on an empty profile copies its defaults and takes
# several seconds; do it once per GIMP version and keep the result.
gimp_pristine_profile() {
  _cache=$1
  _version=$("$GIMP_CONSOLE" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' _)
  [ "$ZS_GIMP" = 2 ] || _version="$_version+theme"
  if [ -f "$_cache/stamp" ] && [ "$(cat "$_cache/stamp")" = "$_version" ]; then
    echo "$_cache/home"
    return 0
  fi
  # Made aside and moved into place, so that two runs never see half of one.
  _new="$_cache.new.$$"
  if [ "$ZS_GIMP" = 3 ]; then set -- --quit; else set -- -b '(gimp-quit 1)'; fi
  rm -rf "$_new"
  mkdir -p "$_new/home"
  HOME="$_new/home" XDG_CONFIG_HOME= XDG_CACHE_HOME= LC_ALL=C.UTF-8 \
    timeout 120 "$GIMP_CONSOLE" -i -d -f "$@" \
    >"$_new/first-start.log" 2>&1 </dev/null || true
  if [ ! -f "$(gimp_config_dir "$_new/home")/pluginrc" ]; then
    echo "gimp.sh: GIMP did not set up a profile (see $_new/first-start.log)" >&2
    return 1
  fi
  # Nothing of the first start's caches or swap is worth copying per run.
  rm -rf "$_new/home/.cache"
  if [ "$ZS_GIMP" = 3 ]; then
    # GIMP 3's window shows a welcome dialog on its first start; the cases
    # start the window with a profile that has seen it.
    echo '(show-welcome-dialog no)' >>"$(gimp_config_dir "$_new/home")/gimprc"
    # Plug-in dialogs take their look from the theme.css that GIMP 3's
    # window writes as it starts (the console does not): start it once, on
    # the display when there is one, so that dialogs look as users see them.
    if [ -n "${DISPLAY:-}" ]; then
      HOME="$_new/home" XDG_CONFIG_HOME= XDG_CACHE_HOME= LC_ALL=C.UTF-8 \
        timeout 120 "$GIMP_GUI" -d -f -s --no-shm --batch-interpreter plug-in-script-fu-eval \
        -b '(gimp-quit 1)' >"$_new/window-start.log" 2>&1 </dev/null || true
      rm -rf "$_new/home/.cache"
    fi
  fi
  echo "$_version" >"$_new/stamp"
  rm -rf "$_cache"
  mv "$_new" "$_cache" 2>/dev/null || rm -rf "$_new"
  echo "$_cache/home"
}

GIMP_BUS_PID=
gimp_bus_start() {
  _busdir=$1
  mkdir -p "$_busdir/runtime"
  chmod 700 "$_busdir/runtime"
  # The accessibility bus puts its socket in the runtime folder: a private one
  # keeps it apart from any other session on this machine.
  XDG_RUNTIME_DIR="$_busdir/runtime"
  export XDG_RUNTIME_DIR
  : >"$_busdir/address"
  setsid dbus-daemon --session --nofork --print-address=1 \
    >"$_busdir/address" 2>"$_busdir/dbus.log" </dev/null &
  GIMP_BUS_PID=$!
  _i=0
  while [ ! -s "$_busdir/address" ]; do
    _i=$((_i + 1))
    if [ $_i -gt 100 ]; then
      echo "gimp.sh: the session bus did not start" >&2
      gimp_bus_stop
      return 1
    fi
    sleep 0.1
  done
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$_busdir/address")
  export DBUS_SESSION_BUS_ADDRESS
}

gimp_bus_stop() {
  if [ -n "$GIMP_BUS_PID" ]; then
    kill -TERM -- "-$GIMP_BUS_PID" 2>/dev/null || true
    wait "$GIMP_BUS_PID" 2>/dev/null || true
    GIMP_BUS_PID=
  fi
}
