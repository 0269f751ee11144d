# Installation and the Debian package. `cmake --install` lays out the
# programs, the launcher with its sample files, the desktop entry, icons,
# AppStream metainfo, manual pages and the documents the package carries;
# `cpack -G DEB` packs that tree (see packaging/build-deb.sh).
include(GNUInstallDirs)

set(TARNWICK_APP_ID org.tarnwick.Tarnwick)
set(TARNWICK_HOMEPAGE "https://tarnwick.example.org" CACHE STRING
    "Project home page; the AppStream screenshot is <homepage>/screenshots/main-dialog-discovery.png")
set(TARNWICK_MAINTAINER "The Tarnwick developers <maintainers@tarnwick.example.org>" CACHE STRING
    "Maintainer of the Debian package")

set(pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(pkg_out ${PROJECT_BINARY_DIR}/packaging)
set(tarnwick_docdir ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
set(tarnwick_datadir ${CMAKE_INSTALL_DATADIR}/tarnwick)

# The release comes from the changelog's newest entry, which must name the
# project's version: the package, the metainfo and the man pages agree.
file(STRINGS ${pkg_src}/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
string(REGEX MATCH "^tarnwick \\(([^)]+)\\)" _ "${changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog names ${CMAKE_MATCH_1} first; the project is ${PROJECT_VERSION}")
endif()
list(FILTER changelog_lines INCLUDE REGEX "^ -- ")
list(GET changelog_lines 0 changelog_trailer)
string(REGEX MATCH ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) " _ "${changelog_trailer}")
if(NOT CMAKE_MATCH_3)
  message(FATAL_ERROR "packaging/changelog: no date in the newest entry's trailer line")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months "${CMAKE_MATCH_2}" month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
  set(month 0${month})
endif()
set(TARNWICK_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})

# What the descriptions say of the programs beside the window.
if(TARGET tarnwick-cli)
  set(TARNWICK_OTHER_PROGRAMS "The package also holds tarnwick-cli, which lists and re-addresses
      devices from a terminal, and tarnwick-devsim, a simulated fleet of
      devices on the loopback network for trying Tarnwick out.")
else()
  set(TARNWICK_OTHER_PROGRAMS "The package also holds tarnwick-devsim, a simulated fleet of
      devices on the loopback network for trying Tarnwick out.")
endif()

# Programs.
set(installed_programs tarnwick-devsim)
if(TARGET tarnwick)
  list(APPEND installed_programs tarnwick)
endif()
if(TARGET tarnwick-cli)
  list(APPEND installed_programs tarnwick-cli)
endif()
install(TARGETS ${installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The sample fleet, its SDK settings and its catalogue, for tarnwick-devsim's demo.
install(FILES ${PROJECT_SOURCE_DIR}/devsim/fleets/sample.xml ${PROJECT_SOURCE_DIR}/devsim/fleets/demo.conf
              ${PROJECT_SOURCE_DIR}/devsim/fleets/Config.xml
        DESTINATION ${tarnwick_datadir})

# The window: the launcher and what it copies into a new working directory,
# the desktop entry, the icons and the metainfo.
set(man_pages tarnwick-devsim)
if(TARGET tarnwick)
  list(APPEND man_pages tarnwick tarnwick-launch)
  install(PROGRAMS ${pkg_src}/tarnwick-launch DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/res/Tarnwick.ico DESTINATION ${tarnwick_datadir})
  install(FILES ${pkg_src}/${TARNWICK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${pkg_src}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  set(TARNWICK_PROVIDED_BINARIES "")
  foreach(program IN LISTS installed_programs ITEMS tarnwick-launch)
    string(APPEND TARNWICK_PROVIDED_BINARIES "    <binary>${program}</binary>\n")
  endforeach()
  configure_file(${pkg_src}/${TARNWICK_APP_ID}.metainfo.xml.in ${pkg_out}/${TARNWICK_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${pkg_out}/${TARNWICK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
if(TARGET tarnwick-cli)
  list(APPEND man_pages tarnwick-cli)
endif()

# Manual pages and the changelog, compressed as Debian wants them: gzip -9
# without a name or time stamp, so that the same sources give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed_files "")
foreach(page IN LISTS man_pages)
  configure_file(${pkg_src}/man/${page}.1.in ${pkg_out}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${pkg_out}/man/${page}.1.gz
    COMMAND ${GZIP_PROGRAM} -9nf ${pkg_out}/man/${page}.1 -c > ${pkg_out}/man/${page}.1.gz
    DEPENDS ${pkg_out}/man/${page}.1
    VERBATIM)
  list(APPEND compressed_files ${pkg_out}/man/${page}.1.gz)
  install(FILES ${pkg_out}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${pkg_out}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nf ${pkg_src}/changelog -c > ${pkg_out}/changelog.gz
  DEPENDS ${pkg_src}/changelog
  VERBATIM)
list(APPEND compressed_files ${pkg_out}/changelog.gz)
add_custom_target(tarnwick_packaging_docs ALL DEPENDS ${compressed_files})
install(FILES ${pkg_src}/copyright ${pkg_out}/changelog.gz DESTINATION ${tarnwick_docdir})

# The launcher's behaviour, against a fake installed tree.
if(TARNWICK_TESTS AND TARGET tarnwick)
  add_test(NAME packaging_launcher
    COMMAND sh ${pkg_src}/tests/launcher_test.sh ${pkg_src}/tarnwick-launch
            ${PROJECT_SOURCE_DIR}/devsim/fleets/Config.xml ${PROJECT_SOURCE_DIR}/res/Tarnwick.ico)
  set_tests_properties(packaging_launcher PROPERTIES LABELS "unit;package")
endif()

# The Debian package. The version keeps all four parts (CPack's default would
# drop the fourth); it has no Debian revision, as the package is native.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "${TARNWICK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find video surveillance devices on a LAN and change their addresses")
set(CPACK_PACKAGE_DESCRIPTION "Tarnwick is a desktop tool for people who install and look after a local
network of video surveillance devices: network and digital video recorders
(NVR, DVR), IP cameras (IPC) and decoders (DEC).

It lists every device of the chosen classes with its serial number, model,
MAC address, address, netmask, gateway, ports and firmware version, logs
into every camera to read its sensor model, and shows a display name from
the user's own catalogue. A device's wired address, netmask and gateway can
be changed from the list.

${TARNWICK_OTHER_PROGRAMS}")
string(REPLACE "\n      " "\n" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE "")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARNWICK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
