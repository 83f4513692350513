# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the posix
# thread model, which std::thread needs). QUAVE_WIN_DEPS is the prefix that
# scripts/windows-deps prints: static Boost, libzip and RtMidi for the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(quave_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${quave_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quave_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${quave_triple}-windres)

# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUAVE_WIN_DEPS)
if(NOT QUAVE_WIN_DEPS)
  message(FATAL_ERROR "Set QUAVE_WIN_DEPS to the prefix scripts/windows-deps prints")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${quave_triple} ${QUAVE_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(BOOST_ROOT ${QUAVE_WIN_DEPS})
set(Boost_NO_BOOST_CMAKE ON)
# pkg-config reads the target's .pc files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} ${QUAVE_WIN_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
