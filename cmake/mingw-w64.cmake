# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads, for
# std::thread), run under Wine. Used with -DMERVANE_GUI=OFF: there is no Qt
# for this target here. giflib and libpng come from scripts/windows-deps.sh,
# in MERVANE_WINDOWS_DEPS (default: deps in the build folder).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT MERVANE_WINDOWS_DEPS)
  set(MERVANE_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/deps)
endif()
get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT in_try_compile AND NOT EXISTS ${MERVANE_WINDOWS_DEPS}/lib/libpng.a)
  message(FATAL_ERROR "No giflib and libpng for Windows in ${MERVANE_WINDOWS_DEPS}: "
                      "run scripts/windows-deps.sh ${MERVANE_WINDOWS_DEPS} first.")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${MERVANE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# CTest runs every test executable through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
