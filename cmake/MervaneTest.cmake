# SPDX-License-Identifier: MIT
include_guard(GLOBAL)
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  # A cross build finds no GoogleTest for its target: build the sources
  # that Debian's libgtest-dev ships.
  set(MERVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${MERVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

# mervane_test(NAME SOURCE... LIBS target...): one GoogleTest executable, one CTest test.
function(mervane_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE test_support ${ARG_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
