# Included by the top-level CMakeLists.txt: the build's options, each with
# the compile and link flags it sets for everything after it.

# QUAVE_SANITIZE: empty, "address" (ASan + UBSan) or "thread" (TSan).
set(QUAVE_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
# The AddressSanitizer build also bounds-checks the standard containers: an
# index past the end of a std::array inside a record is invisible to
# AddressSanitizer.
if(QUAVE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis sees uninitialised members inside instrumented
    # standard-library code (std::regex, boost::optional) that are not there.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(-fsanitize=address,undefined)
elseif(QUAVE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# The libFuzzer targets, in the AddressSanitizer build (clang): the layers
# are compiled for coverage as well (quave_coverage_options), so that the
# one build serves the fuzz targets and the instrumented test run. The tests
# and the simulator, which no fuzz target runs, are not: it would only slow
# their build.
option(QUAVE_FUZZ "Build the libFuzzer targets (clang, with QUAVE_SANITIZE=address)" OFF)
set(quave_coverage_options "")
if(QUAVE_FUZZ)
  if(NOT QUAVE_SANITIZE STREQUAL "address" OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUAVE_FUZZ needs clang and QUAVE_SANITIZE=address")
  endif()
  set(quave_coverage_options -fsanitize=fuzzer-no-link)
endif()

# One program for every other Linux distribution: it needs only glibc (as old
# as the one it is built against), everything else linked in, and opens
# whichever RtMidi the system has that it can use. libzip comes from
# scripts/portable-deps, since Debian ships no static one.
option(QUAVE_PORTABLE "Build the portable Linux program (needs QUAVE_PORTABLE_DEPS)" OFF)
set(QUAVE_PORTABLE_DEPS "" CACHE PATH "The prefix scripts/portable-deps printed")

# The MIDI library is opened by name when a device command first needs it
# (device/midi/system/midi_library_posix.cpp), not linked: linking it maps
# it and the sound server's client libraries into every run, check's too,
# which must start fast. Where opening libraries by name is not the custom
# (macOS, Windows), QUAVE_LINK_RTMIDI links it the ordinary way; on Windows
# always.
option(QUAVE_LINK_RTMIDI "Link the MIDI library instead of opening it at run time" OFF)
if(WIN32)
  set(QUAVE_LINK_RTMIDI ON CACHE BOOL "" FORCE)
endif()

add_compile_options(-Wall -Wextra)
