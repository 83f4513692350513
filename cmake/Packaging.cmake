# Included by the top-level CMakeLists.txt: installation and the packages,
# both made by cpack in the build folder (scripts/package).

# Every package holds the example packages.
file(GLOB quave_examples ${CMAKE_SOURCE_DIR}/examples/*unit)

# Windows ships the program as a zip (cpack -G ZIP): the program, a README
# for Windows users with Windows line ends, and the example packages.
if(WIN32)
  install(TARGETS quave-cli RUNTIME DESTINATION .)
  configure_file(packaging/README-windows.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  install(FILES ${quave_examples} DESTINATION examples)
  set(CPACK_PACKAGE_NAME quave-cli)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME quave-cli-${PROJECT_VERSION}-win64)
  set(CPACK_GENERATOR ZIP)
  include(CPack)
  return()
endif()


# Installation: the two programs, their manual pages (compressed, as Debian
# ships them), the bash completion (one file, under both command names), and
# the README with the example packages.
include(GNUInstallDirs)
# The portable build has no simulator.
set(quave_pages quave-cli.1)
if(NOT QUAVE_PORTABLE)
  list(APPEND quave_pages quave-devsim.1)
endif()
foreach(page ${quave_pages})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/man/${page} -DOUT=${CMAKE_BINARY_DIR}/man/${page}
      -DVERSION=${PROJECT_VERSION} -DCHANGELOG=${CMAKE_SOURCE_DIR}/packaging/changelog
      -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/man/${page} ${CMAKE_SOURCE_DIR}/packaging/changelog
      ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake VERBATIM)
  list(APPEND quave_man_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(man_pages ALL DEPENDS ${quave_man_pages} ${CMAKE_BINARY_DIR}/changelog.gz)

# The portable program's tarball (cpack -G TGZ): the program, its manual
# page, the completion and the examples in a prefix's layout, and a README
# for systems that are not Debian.
if(QUAVE_PORTABLE)
  install(TARGETS quave-cli RUNTIME DESTINATION bin)
  install(FILES ${quave_man_pages} DESTINATION share/man/man1)
  install(FILES completion/quave-cli DESTINATION share/bash-completion/completions)
  install(FILES ${quave_examples} DESTINATION share/doc/quave-cli/examples)
  configure_file(packaging/README-linux.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_PACKAGE_NAME quave-cli)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME quave-cli-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

install(TARGETS quave-cli quave-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${quave_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES completion/quave-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES completion/quave-cli RENAME quave-devsim
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES README.md packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${quave_examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# A Debian package: cpack -G DEB in the build folder (scripts/package).
# The MIDI library is opened at run time, so nothing computes that
# dependency: it is named from the package that owns the library.
get_filename_component(rtmidi_file ${QUAVE_RTMIDI_LIBRARY} REALPATH)
execute_process(COMMAND dpkg-query -S ${rtmidi_file}
  OUTPUT_VARIABLE rtmidi_owner RESULT_VARIABLE rtmidi_query ERROR_QUIET)
if(rtmidi_query EQUAL 0 AND rtmidi_owner MATCHES "^([^:]+)")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS ${CMAKE_MATCH_1})
else()
  message(WARNING "No Debian package owns ${rtmidi_file}: the Debian package will not name the MIDI library it needs")
endif()
# Each Debian release gets a package of its own, built on that release and
# depending on its libraries; the two differ in version, the Debian way
# (VERSION~deb12u1 and VERSION~deb13u1), and so in file name too.
set(QUAVE_PACKAGE_VERSION ${PROJECT_VERSION})
if(EXISTS /etc/os-release)
  file(STRINGS /etc/os-release os_release REGEX "^(ID|VERSION_ID)=")
  if("ID=debian" IN_LIST os_release AND os_release MATCHES "VERSION_ID=\"?([0-9]+)")
    set(QUAVE_PACKAGE_VERSION ${PROJECT_VERSION}~deb${CMAKE_MATCH_1}u1)
  endif()
endif()
set(CPACK_PACKAGE_NAME quave-cli)
set(CPACK_PACKAGE_VERSION ${QUAVE_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "quave-cli developers <quave-cli@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check and load synthesizer units over MIDI")
set(CPACK_PACKAGE_DESCRIPTION "quave-cli validates unit packages (oscillator and effect plug-ins for the
vestrel, halvane rx and orvalt tonal synthesizers) and builds the unit image
a device accepts. It finds a connected synthesizer by its MIDI port names,
reports its modules and slots, loads units into slots and clears them.

The package also holds quave-devsim, a simulated synthesizer on virtual MIDI
ports for trying units without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build's package is for its target. dpkg-shlibdeps is told the
# target too (cpack reads this file when it runs), so that it reads the
# programs with the target's objdump and looks in the target's multiarch
# folder first, not only where ld.so.conf.d happens to list it.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE quave_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT quave_deb_arch)
    message(FATAL_ERROR "dpkg-architecture does not know ${CMAKE_LIBRARY_ARCHITECTURE} (scripts/setup --for-deb installs it)")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${quave_deb_arch})
  file(WRITE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake "set(ENV{DEB_HOST_ARCH} ${quave_deb_arch})\n")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS jackd2)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
