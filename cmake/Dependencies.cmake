# Included by the top-level CMakeLists.txt: the libraries the program is
# built with, as each build takes them (cmake/Options.cmake).

# Static Boost: a check run is mostly process start-up, and the shared regex
# library alone pulls in ICU.
set(Boost_USE_STATIC_LIBS ON)
find_package(Boost 1.74 REQUIRED COMPONENTS program_options regex)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# libzip: quave_zip_target.
if(QUAVE_PORTABLE)
  if(NOT EXISTS "${QUAVE_PORTABLE_DEPS}/lib/libzip.a")
    message(FATAL_ERROR "QUAVE_PORTABLE needs QUAVE_PORTABLE_DEPS: the prefix scripts/portable-deps prints")
  endif()
  find_library(QUAVE_LIBZ NAMES libz.a REQUIRED)
  find_library(QUAVE_LIBBZ2 NAMES libbz2.a REQUIRED)
  add_library(quave_libzip INTERFACE)
  target_include_directories(quave_libzip INTERFACE ${QUAVE_PORTABLE_DEPS}/include)
  target_link_libraries(quave_libzip INTERFACE ${QUAVE_PORTABLE_DEPS}/lib/libzip.a
    ${QUAVE_LIBBZ2} ${QUAVE_LIBZ})
  set(quave_zip_target quave_libzip)
else()
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  set(quave_zip_target PkgConfig::LIBZIP)
endif()

# RtMidi. The portable build takes only the header, which is the same in
# RtMidi 5 and 6.
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
if(NOT WIN32 AND NOT QUAVE_PORTABLE)
  # The Debian package names the package that holds it.
  find_library(QUAVE_RTMIDI_LIBRARY NAMES rtmidi HINTS ${RTMIDI_LIBRARY_DIRS} REQUIRED)
endif()
# Only the library opened by name needs its shared object name, read with
# objdump, which a linked build (macOS) need not have.
if(NOT QUAVE_LINK_RTMIDI AND NOT QUAVE_PORTABLE)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${QUAVE_RTMIDI_LIBRARY}
    OUTPUT_VARIABLE rtmidi_headers RESULT_VARIABLE rtmidi_objdump)
  if(NOT rtmidi_objdump EQUAL 0 OR NOT rtmidi_headers MATCHES "SONAME +([^\n]+)")
    message(FATAL_ERROR "Could not read the shared object name of ${QUAVE_RTMIDI_LIBRARY}")
  endif()
  set(QUAVE_RTMIDI_SONAME ${CMAKE_MATCH_1})
  message(STATUS "MIDI library opened at run time: ${QUAVE_RTMIDI_SONAME}")
endif()
