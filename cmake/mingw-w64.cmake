# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads, for
# std::thread), run under Wine. giflib, libdeflate, libwebp and libpng come
# from scripts/windows-deps.sh, in MERVANE_WINDOWS_DEPS (default: deps in the
# build folder); the static Qt from scripts/windows-qt.sh, in
# MERVANE_WINDOWS_QT (or -DMERVANE_GUI=OFF to build without the window).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)

if(NOT MERVANE_WINDOWS_DEPS)
  set(MERVANE_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/deps)
endif()
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
# A folder an older windows-deps.sh made lacks libwebp and libpng.
if(NOT in_try_compile AND NOT (EXISTS ${MERVANE_WINDOWS_DEPS}/lib/libdeflate.a
                               AND EXISTS ${MERVANE_WINDOWS_DEPS}/lib/libwebp.a
                               AND EXISTS ${MERVANE_WINDOWS_DEPS}/lib/libpng.a))
  message(FATAL_ERROR "No giflib, libdeflate, libwebp and libpng for Windows in "
                      "${MERVANE_WINDOWS_DEPS}: run scripts/windows-deps.sh "
                      "${MERVANE_WINDOWS_DEPS} first.")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${MERVANE_WINDOWS_DEPS} ${MERVANE_WINDOWS_QT})
set(ZLIB_USE_STATIC_LIBS ON)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# CTest runs every test executable through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
