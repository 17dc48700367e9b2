# SPDX-License-Identifier: MIT
# cmake -DCMARK=PROGRAM -DSOURCE=GUIDE.md -DPAGE_TEMPLATE=guide.html.in
#       -DOUTPUT=GUIDE.html -P make_guide.cmake
# Converts the Markdown guide with cmark and puts the result in the page
# template, titled with the guide's first heading. Run by mervane_user_guide
# (MervaneGuide.cmake) at build time.
foreach(name CMARK SOURCE PAGE_TEMPLATE OUTPUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "make_guide.cmake: -D${name}=... is missing")
  endif()
endforeach()

execute_process(COMMAND ${CMARK} --to html ${SOURCE} OUTPUT_VARIABLE GUIDE_BODY
                ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR GUIDE_BODY STREQUAL "")
  message(FATAL_ERROR "cmark could not convert ${SOURCE}: ${status} ${errors}")
endif()
# The page's title is the guide's own: its first heading, tags removed.
if(NOT GUIDE_BODY MATCHES "<h1>([^\n]*)</h1>")
  message(FATAL_ERROR "${SOURCE} has no first-level heading to title the page with")
endif()
string(REGEX REPLACE "<[^>]*>" "" GUIDE_TITLE "${CMAKE_MATCH_1}")
configure_file(${PAGE_TEMPLATE} ${OUTPUT} @ONLY)
