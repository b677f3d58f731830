# Which GIMP this machine builds for, told by the GIMP itself: the version of
# its development files (pkg-config), else of its installed package, else of
# the package apt would install.  Source it; it sets
#   ZS_GIMP_VERSION  that version, such as 2.10.34, 3.0.4 or 3.2.6 (empty when
#                    nothing tells: no GIMP installed and none known to apt)
#   ZS_GIMP_SERIES   its first two numbers (2.10, 3.0, 3.2): GIMP's personal
#                    folder is ~/.config/GIMP/$ZS_GIMP_SERIES
#   ZS_GIMP          2 or 3
#   ZS_BUILD         the folder of this GIMP's build flavours: build for GIMP
#                    2.10, build/gimp3.0 or build/gimp3.2 for GIMP 3, so that
#                    the host and the GIMP 3 chroots share one tree
zs_gimp_version() {
  for _module in gimp-2.0 gimp-3.0; do
    _v=$(pkg-config --modversion "$_module" 2>/dev/null) && [ -n "$_v" ] && { echo "$_v"; return 0; }
  done
  _v=$(dpkg-query -W -f='${Status} ${Version}\n' gimp 2>/dev/null | sed -n 's/^install ok installed //p')
  if [ -z "$_v" ]; then
    _v=$(apt-cache policy gimp 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    [ "$_v" != "(none)" ] || _v=
  fi
  # The upstream version of a Debian one: 2:3.2.6-1+b1 is 3.2.6.
  echo "$_v" | sed 's/^[0-9]*://; s/[-+~].*//'
}
ZS_GIMP_VERSION=$(zs_gimp_version)
ZS_GIMP_SERIES=$(echo "$ZS_GIMP_VERSION" | sed -n 's/^\([0-9]*\.[0-9]*\).*/\1/p')
case "$ZS_GIMP_SERIES" in
  2.*) ZS_GIMP=2; ZS_BUILD=build ;;
  3.*) ZS_GIMP=3; ZS_BUILD=build/gimp$ZS_GIMP_SERIES ;;
  *) ZS_GIMP=; ZS_BUILD= ;;
esac
# Ends the script with a reason when nothing tells which GIMP this is.
zs_require_gimp() {
  [ -n "$ZS_GIMP" ] && return 0
  echo "$(basename "$0"): cannot tell which GIMP to build for: no GIMP development files or" >&2
  echo "package installed, and apt knows no package gimp (run scripts/deps, or apt-get update)" >&2
  exit 1
}
