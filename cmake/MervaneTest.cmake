include_guard(GLOBAL)
find_package(GTest REQUIRED)

# mervane_test(NAME SOURCE... LIBS target...): one GoogleTest executable, one CTest test.
function(mervane_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE test_support ${ARG_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
