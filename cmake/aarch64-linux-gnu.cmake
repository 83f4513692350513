# Cross build for 64-bit ARM Linux (Debian's arm64) with Debian's cross
# toolchain (crossbuild-essential-arm64) and the arm64 libraries that
# multiarch installs beside the build machine's own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(quave_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${quave_triple}-gcc)
set(CMAKE_CXX_COMPILER ${quave_triple}-g++)
# The multiarch tree holds both architectures' files side by side, so the
# search is kept to the target's library folder by CMAKE_LIBRARY_ARCHITECTURE.
set(CMAKE_LIBRARY_ARCHITECTURE ${quave_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The tests run under Debian's user-mode emulator, and the programs they
# start through binfmt; multiarch put the target's loader where the programs
# look for it, so the emulator needs no -L (with it, tests hung in it).
find_program(QUAVE_QEMU_AARCH64 qemu-aarch64-static qemu-aarch64)
if(QUAVE_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUAVE_QEMU_AARCH64})
endif()
# pkg-config reads the target's .pc files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${quave_triple}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_OBJDUMP ${quave_triple}-objdump CACHE FILEPATH "")
