# Installed files besides the programs, and the Debian packages made from the
# install rules by CPack (scripts/package runs it):
#
#   zipstroke         the GIMP plug-in (component "plugin") and its
#                     translation catalogues (po/CMakeLists.txt)
#   zipstroke-render  the headless renderer (component "render") and its
#                     manual page
#
# Two packages because the renderer needs only cairo and GLib: a server or a
# script host can have it without GIMP and GTK.  `apt install ./zipstroke*.deb`
# takes both.  The version is the project's VERSION plus a Debian revision and
# the Debian release built for (0.5.2-1+deb12), so that the package of the
# next Debian release is an upgrade.
include(GNUInstallDirs)

# The renderer's manual page, compressed as Debian policy wants it (-n: no
# name or time stamp, so the same tree gives the same bytes).
set(zipstroke_man ${CMAKE_BINARY_DIR}/packaging/zipstroke-render.1)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zipstroke-render.1 ${zipstroke_man} @ONLY)
add_custom_command(
  OUTPUT ${zipstroke_man}.gz
  COMMAND gzip -9nkf ${zipstroke_man}
  DEPENDS ${zipstroke_man}
  VERBATIM)
add_custom_target(manpage ALL DEPENDS ${zipstroke_man}.gz)
install(FILES ${zipstroke_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT render)

if(NOT ZIPSTROKE_DEBIAN_PACKAGE)
  return()
endif()

set(ZIPSTROKE_DEB_MAINTAINER "The Zipstroke developers <zipstroke@example.org>" CACHE STRING
    "Maintainer field and changelog signature of the Debian packages")
set(ZIPSTROKE_DEB_REVISION "1" CACHE STRING "Debian revision of the packages")
cmake_host_system_information(RESULT zipstroke_os_version QUERY DISTRIB_VERSION_ID)
cmake_host_system_information(RESULT zipstroke_os_codename QUERY DISTRIB_VERSION_CODENAME)
cmake_host_system_information(RESULT ZIPSTROKE_DEB_DISTRO_NAME QUERY DISTRIB_PRETTY_NAME)
set(zipstroke_deb_release ${ZIPSTROKE_DEB_REVISION})
if(zipstroke_os_version MATCHES "^[0-9]+$")
  string(APPEND zipstroke_deb_release "+deb${zipstroke_os_version}")
endif()
set(ZIPSTROKE_DEB_VERSION ${PROJECT_VERSION}-${zipstroke_deb_release})
set(ZIPSTROKE_DEB_DISTRIBUTION ${zipstroke_os_codename})
if(NOT ZIPSTROKE_DEB_DISTRIBUTION)
  set(ZIPSTROKE_DEB_DISTRIBUTION unstable)
endif()
if(ZIPSTROKE_GIMP_VERSION EQUAL 2)
  set(ZIPSTROKE_GIMP_LABEL 2.10)
  # The plug-in folder lib/gimp/2.0 is read by GIMP 2 only.
  set(zipstroke_gimp_depends "gimp (>= 2.10), gimp (<< 2.99)")
else()
  set(ZIPSTROKE_GIMP_LABEL 3)
  set(zipstroke_gimp_depends "gimp (>= 3.0)")
endif()
# The changelog's date: SOURCE_DATE_EPOCH when set (scripts/package sets the
# time of the last commit), so that a tree always gives the same package.
string(TIMESTAMP ZIPSTROKE_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Each package's /usr/share/doc/<package>: copyright and changelog.
foreach(component plugin render)
  if(component STREQUAL plugin)
    set(ZIPSTROKE_DEB_PACKAGE zipstroke)
  else()
    set(ZIPSTROKE_DEB_PACKAGE zipstroke-render)
  endif()
  set(doc ${CMAKE_BINARY_DIR}/packaging/${ZIPSTROKE_DEB_PACKAGE})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in ${doc}/changelog.Debian @ONLY)
  add_custom_command(
    OUTPUT ${doc}/changelog.Debian.gz
    COMMAND gzip -9nkf ${doc}/changelog.Debian
    DEPENDS ${doc}/changelog.Debian
    VERBATIM)
  add_custom_target(changelog-${component} ALL DEPENDS ${doc}/changelog.Debian.gz)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${doc}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZIPSTROKE_DEB_PACKAGE} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zipstroke)
set(CPACK_PACKAGE_VENDOR "The Zipstroke developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZIPSTROKE_DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL render)
if(TARGET zipstroke)
  list(APPEND CPACK_COMPONENTS_ALL plugin)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${zipstroke_deb_release})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME zipstroke)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_DEPENDS ${zipstroke_gimp_depends})
set(CPACK_DEBIAN_PLUGIN_PACKAGE_ENHANCES gimp)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_SUGGESTS zipstroke-render)
set(CPACK_COMPONENT_PLUGIN_DESCRIPTION
"streak lines filter for GIMP ${ZIPSTROKE_GIMP_LABEL}
Zipstroke draws streak lines onto a new layer: the radiating focus lines
and the parallel speed lines of comics and illustration.  Lines are placed
between two ellipses around a centre or across a band, and shaped by pitch,
on/off blocks, waves, width, margins and tapers, each with its own random
spread and seed.  Any boundary can be a freehand outline drawn on the live
preview, and settings are kept as named presets.
.
This package holds the plug-in, found under Filters > KestrelKit.")

set(CPACK_DEBIAN_RENDER_PACKAGE_NAME zipstroke-render)
set(CPACK_COMPONENT_RENDER_DESCRIPTION
"render Zipstroke streak lines without GIMP
zipstroke-render draws the streak lines of the Zipstroke GIMP plug-in from
a preset file or settings given on the command line into a PNG, SVG or PDF
file.  The PNG holds exactly the layer the plug-in would add.")

include(CPack)
