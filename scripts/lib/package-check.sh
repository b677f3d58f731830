#!/bin/bash
# The checks of scripts/package-test, run as root inside a fresh Debian chroot
# with the tree at /src (read-only) and the packages at /debs; bash, like the
# GIMP helpers of scripts/lib it uses:
#
#   package-check.sh RELEASE REFERENCE_RENDER
#   package-check.sh RELEASE --download-only
#
# RELEASE is 12 (GIMP 2.10), 13 (GIMP 3.0) or 14 (Debian testing, GIMP 3.2,
# with the packages made for Debian 13); REFERENCE_RENDER is the tree's own
# zipstroke-render, whose pictures the installed programs must match.
# --download-only fetches into apt's cache what the checks will install (GIMP
# and the test's tools), installing nothing.
set -eu
release=$1
reference=$2
export DEBIAN_FRONTEND=noninteractive
export PYTHONDONTWRITEBYTECODE=1
started=$(date +%s)
create_failed=
step() {
  now=$(date +%s)
  echo "-- [$((now - started))s] $*"
}
fail() {
  echo "package-check: FAIL: $*" >&2
  exit 1
}
apt_get() {
  apt-get -y -q -o Dpkg::Use-Pty=0 -o APT::Install-Recommends=false "$@" >/tmp/apt.log 2>&1 || {
    tail -20 /tmp/apt.log >&2
    fail "apt-get $*"
  }
}

case "$release" in
  12) gimp=2.10; console=gimp-console-2.10
      plugin_pattern='/usr/lib/gimp/2.0/plug-ins/zipstroke/zipstroke' ;;
  13|14) gimp=3; console=gimp-console-3
      plugin_pattern='/usr/lib/*-linux-gnu*/gimp/3.0/plug-ins/zipstroke/zipstroke' ;;
  *) fail "unknown Debian release $release" ;;
esac

# The end-to-end driver presses Create from outside: GIMP 3 needs it to know
# ZS_GIMP (tests/e2e that drives only GIMP 2.10 leaves GIMP 3's Create out).
if [ "$gimp" = 2.10 ] || grep -q ZS_GIMP /src/tests/e2e/runner.py; then e2e=1; else e2e=; fi
tools="man-db"
if [ -n "$e2e" ]; then
  tools="$tools xvfb xauth xdotool dbus dbus-x11 at-spi2-core gir1.2-atspi-2.0 python3 python3-gi
    xfonts-base fonts-dejavu-core"
  [ "$gimp" = 3 ] || tools="$tools libatk-adaptor libgail-common gtk2-engines-pixbuf"
fi
if [ "$reference" = --download-only ]; then
  step "apt-get install --download-only gimp $(echo $tools)"
  apt_get update
  # shellcheck disable=SC2086
  apt_get install --download-only gimp $tools
  echo "   $(grep -c '^Get:' /tmp/apt.log) packages downloaded"
  exit 0
fi

step "apt-get install ./zipstroke*.deb (without recommended packages)"
apt_get update
cd /debs
# shellcheck disable=SC2046
apt_get install $(for deb in zipstroke*.deb; do echo "./$deb"; done)
cd /
dpkg --audit >/tmp/audit.log 2>&1 && [ ! -s /tmp/audit.log ] || fail "dpkg --audit: $(cat /tmp/audit.log)"
echo "   $(grep -c '^Setting up' /tmp/apt.log) packages set up"
for package in zipstroke zipstroke-render; do
  [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" = "install ok installed" ] \
    || fail "$package is not installed (is its .deb among $(ls /debs)?)"
done
dpkg-query -W -f='   ${Package} ${Version}\n' zipstroke zipstroke-render
dpkg -L zipstroke zipstroke-render | sort -u >/tmp/package-files

step "the plug-in is in GIMP's system plug-in folder"
plugin=
while IFS= read -r path; do
  # shellcheck disable=SC2254
  case "$path" in $plugin_pattern) plugin=$path ;; esac
done </tmp/package-files
[ -n "$plugin" ] || fail "no file of zipstroke matches $plugin_pattern:
$(cat /tmp/package-files)"
[ -x "$plugin" ] || fail "$plugin is not executable"
# GIMP's own plug-ins live there too.
[ -x "$(dirname "$(dirname "$plugin")")/file-png/file-png" ] || fail "$plugin is not beside GIMP's own plug-ins"
echo "   $plugin"

step "zipstroke-render --help and a picture"
[ "$(command -v zipstroke-render)" = /usr/bin/zipstroke-render ] || fail "zipstroke-render is not /usr/bin/zipstroke-render"
zipstroke-render --help >/tmp/help.txt 2>&1 || fail "zipstroke-render --help failed"
grep -q -- '--output' /tmp/help.txt || fail "zipstroke-render --help names no --output: $(cat /tmp/help.txt)"
zipstroke-render --size 320x200 --set area_type=1 --output /tmp/installed.png || fail "zipstroke-render could not render"
"$reference" --size 320x200 --set area_type=1 --output /tmp/reference.png
cmp -s /tmp/installed.png /tmp/reference.png || fail "the installed renderer draws other pixels than the tree's"

step "installing the test's own tools (manual pages, X server, accessibility)"
# man-db would index every manual page after each install; man finds a page
# without the index.
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
# shellcheck disable=SC2086
apt_get install $tools

step "man zipstroke-render"
MANPAGER=cat MANWIDTH=80 man zipstroke-render >/tmp/man.txt 2>/tmp/man.err || fail "man zipstroke-render: $(cat /tmp/man.err)"
grep -q 'zipstroke-render - render streak lines into a picture' /tmp/man.txt || fail "the manual page has no NAME line"
grep -q -- '--resolution' /tmp/man.txt || fail "the manual page does not describe --resolution"

# Which GIMP the packages went into, and so its personal folder's name.
. /src/scripts/lib/platform.sh
[ "$ZS_GIMP" = "${gimp%%.*}" ] || fail "GIMP $ZS_GIMP_VERSION is installed, not GIMP $gimp"
export ZS_GIMP ZS_GIMP_SERIES
config=.config/GIMP/$ZS_GIMP_SERIES
step "GIMP $ZS_GIMP_VERSION registers plugin-zipstroke under Filters > KestrelKit"
if [ -n "$e2e" ]; then
  ZIPSTROKE_KEEP_DISPLAY=
  . /src/scripts/lib/gimp.sh
  profile=$(gimp_pristine_profile /tmp/profile) || fail "GIMP did not start"
else
  profile=/tmp/profile/home
  mkdir -p "$profile"
  HOME=$profile LC_ALL=C.UTF-8 timeout 300 "$console" -i -d -f -b '(gimp-quit 1)' \
    >/tmp/first-start.log 2>&1 </dev/null || true
fi
pluginrc="$profile/$config/pluginrc"
[ -f "$pluginrc" ] || fail "GIMP wrote no $pluginrc"
# The plug-in's entry: its file (GIMP writes its own library folder as
# ${gimp_plug_in_dir}), then its procedure and the procedure's menu.
libdir=$(dirname "$(dirname "$(dirname "$plugin")")")
short="\${gimp_plug_in_dir}${plugin#"$libdir"}"
awk -v file="$plugin" -v short="$short" '
  /\(plug-in-def / { inside = index($0, "\"" file "\"") || index($0, "\"" short "\"") }
  inside && index($0, "\"plugin-zipstroke\"") { proc = 1 }
  inside && proc && /\(menu-path "<Image>\/Filters\/KestrelKit\/?"/ { menu = 1 }
  END { exit !(proc && menu) }' "$pluginrc" \
  || fail "pluginrc has no plugin-zipstroke from $plugin in <Image>/Filters/KestrelKit:
$(grep -n -A12 zipstroke "$pluginrc" | head -30)"
[ ! -e "$profile/$config/plug-ins/zipstroke" ] || fail "the profile has a personal copy of the plug-in"
echo "   $pluginrc: plugin-zipstroke, <Image>/Filters/KestrelKit"

if [ -n "$e2e" ]; then
  step "Create in the dialog of the installed plug-in makes the layer the tree's renderer draws"
  . /src/scripts/lib/xvfb.sh
  mkdir -p /tmp/e2e
  E2E_WORK=$(mktemp -d /tmp/e2e/run.XXXXXX)
  E2E_PROFILE=$profile
  E2E_RENDER=$reference
  E2E_PLUGIN=$plugin
  export E2E_WORK E2E_PROFILE E2E_RENDER E2E_PLUGIN
  xvfb_start
  gimp_bus_start "$E2E_WORK/bus"
  export E2E_BUS_PGID="$GIMP_BUS_PID"
  status=0
  /usr/bin/python3 -u - <<'EOF' || status=$?
import os, shutil, sys, tempfile
sys.path.insert(0, "/src/tests/e2e")
import runner
import cases


class Installed(runner.Context):
    """A fresh copy of the pristine profile, without a personal copy of the
    plug-in: GIMP runs the one the package installed."""

    def fresh_home(self):
        home = tempfile.mkdtemp(prefix="home.", dir=self.root)
        shutil.copytree(self.env["E2E_PROFILE"], home, dirs_exist_ok=True, symlinks=True)
        self.homes.append(home)
        return home


wanted = ["rgb-no-selection", "grey-image"]
found = {name: fn for name, fn, _ in cases.CASES if name in wanted}
failed = 0
for name in wanted:
    if name not in found:
        print("FAIL %s (no such end-to-end case)" % name)
        failed += 1
        continue
    ctx = Installed(name, os.environ)
    try:
        found[name](ctx)
        print("PASS %s: %s" % (name, "; ".join(ctx.notes)))
    except (runner.Fail, runner.Skip) as e:
        print("FAIL %s: %s" % (name, e))
        failed += 1
    finally:
        ctx.cleanup()
sys.exit(1 if failed else 0)
EOF
  gimp_bus_stop
  xvfb_stop
  # The purge is still checked; the failure is reported at the end.
  [ $status -eq 0 ] || create_failed=1
else
  step "Create in GIMP 3: left out (tests/e2e drives GIMP 2.10 only)"
fi

step "apt-get purge leaves no file of the packages"
apt_get purge zipstroke zipstroke-render
for package in zipstroke zipstroke-render; do
  state=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case "$state" in
    ""|*not-installed) ;;
    *) fail "dpkg still has $package: $state" ;;
  esac
done
left=""
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder that another package owns stays, such as /usr/bin.
  if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
  left="$left $path"
done </tmp/package-files
[ -z "$left" ] || fail "left behind:$left"
# Nor any other file named after them, outside this test's own folders, the
# logs, man-db's cache of formatted pages (made by `man` above, man-db's to
# clean) and the chroot's stamp.
stray=$(find / -xdev \( -path /src -o -path /debs -o -path /proc -o -path /tmp -o -path /root \
  -o -path /var/cache/apt/archives -o -path /var/log -o -path /var/cache/man -o -path /.zipstroke-ready \) \
  -prune -o -name '*zipstroke*' -print)
[ -z "$stray" ] || fail "files named after the packages remain: $stray"
echo "   $(wc -l </tmp/package-files) paths of the packages checked"

[ -z "$create_failed" ] || fail "Create with the installed plug-in (see above)"
step "all checks passed"
