# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# variant, which C++ std::thread needs). ZORVANE_WINDOWS_PREFIXES lists the
# prefixes of the cross-built FFmpeg, OpenCV and Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${ZORVANE_WINDOWS_PREFIXES})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZORVANE_WINDOWS_PREFIXES)

# Programs from the build machine, libraries and headers from the target.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the cross-built libraries' .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "")
foreach(prefix IN LISTS ZORVANE_WINDOWS_PREFIXES)
  set(ENV{PKG_CONFIG_LIBDIR} "$ENV{PKG_CONFIG_LIBDIR}:${prefix}/lib/pkgconfig")
endforeach()
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
