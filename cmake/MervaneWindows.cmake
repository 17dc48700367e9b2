# SPDX-License-Identifier: MIT
include_guard(GLOBAL)

# mervane_windows_resources(TARGET DESCRIPTION): on Windows, gives TARGET
# Mervane's icon and a version block; with MinGW also the manifest that MSVC
# would embed itself.
function(mervane_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(MERVANE_RC_NAME ${target})
  set(MERVANE_RC_DESCRIPTION "${description}")
  set(MERVANE_RC_ICON ${PROJECT_SOURCE_DIR}/src/app/icons/mervane.ico)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  if(MINGW)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/windows/long-paths.rc)
  endif()
endfunction()
