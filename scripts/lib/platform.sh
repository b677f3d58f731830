# Which GIMP this machine builds for, told by its Debian release: Debian 12
# (bookworm) ships GIMP 2.10 with GTK 2, Debian 13 (trixie) and later GIMP 3
# with GTK 3.  Source it; it sets
#   ZS_GIMP    2 or 3
#   ZS_BUILD   the folder of this GIMP's build flavours (build or build/gimp3),
#              so that the host and the Debian 13 chroot share one tree
ZS_GIMP=3
if [ -r /etc/os-release ]; then
  case "$(. /etc/os-release; echo "${VERSION_CODENAME:-}")" in
    bookworm|bullseye) ZS_GIMP=2 ;;
  esac
fi
if [ "$ZS_GIMP" = 2 ]; then ZS_BUILD=build; else ZS_BUILD=build/gimp3; fi
