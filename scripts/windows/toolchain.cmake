# CMake toolchain for the skyvane Windows SDK (x86_64-w64-mingw32, posix threads).
# Use: cmake -DCMAKE_TOOLCHAIN_FILE=<sdk>/toolchain.cmake ...  The SDK may be moved:
# every path below is taken relative to this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

get_filename_component(SKYVANE_WINSDK "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
set(_sv_triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${_sv_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_sv_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_sv_triple}-windres)
set(CMAKE_AR           /usr/bin/${_sv_triple}-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${_sv_triple}-ranlib CACHE FILEPATH "")

# Look for headers, libraries and packages only in the SDK and the mingw sysroot;
# programs (moc, pkg-config, ...) come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH "${SKYVANE_WINSDK}" /usr/${_sv_triple})
list(APPEND CMAKE_PREFIX_PATH "${SKYVANE_WINSDK}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt: the target libraries are in the SDK, moc/rcc/uic are Debian's (same 6.4.2).
set(QT_HOST_PATH "/usr" CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake" CACHE PATH "")

# pkg-config sees only the SDK's .pc files (never the build machine's).
set(ENV{PKG_CONFIG_LIBDIR} "${SKYVANE_WINSDK}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_EXECUTABLE /usr/bin/pkg-config CACHE FILEPATH "")
# The .pc files name /opt/skyvane-winsdk; --define-prefix makes pkgconf take the prefix from
# where the .pc file really is, so an SDK unpacked elsewhere still works (CMake >= 3.22).
set(PKG_CONFIG_ARGN --define-prefix CACHE STRING "")

# try_run() and ctest start Windows programs through wine, with the SDK's DLLs on the path.
if(EXISTS "${SKYVANE_WINSDK}/share/winsdk/wine-run.sh" AND NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${SKYVANE_WINSDK}/share/winsdk/wine-run.sh")
endif()
