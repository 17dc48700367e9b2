# SPDX-License-Identifier: MIT
include_guard(GLOBAL)

# mervane_user_guide(TARGET SOURCE OUTPUT): makes the Markdown guide SOURCE
# into the standalone HTML page OUTPUT at build time, as part of the target
# TARGET built by default. The page is plain HTML with its own small style
# sheet; the pictures it names are installed beside it, not embedded, so
# that they stay files a user can open. cmark converts: it leaves out any
# raw HTML in the source rather than passing it through, and keeps quotes
# as typed, so the program's own texts read as the window shows them.
function(mervane_user_guide target source output)
  find_program(MERVANE_CMARK cmark)
  if(NOT MERVANE_CMARK)
    message(FATAL_ERROR "cmark, which makes the user's guide ${source} into HTML, was not "
                        "found: install Debian's package cmark (./scripts/setup.sh windows), "
                        "or set MERVANE_CMARK to a cmark program")
  endif()
  set(page_template ${PROJECT_SOURCE_DIR}/cmake/windows/guide.html.in)
  set(script ${PROJECT_SOURCE_DIR}/cmake/make_guide.cmake)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -DCMARK=${MERVANE_CMARK} -DSOURCE=${source}
                             -DPAGE_TEMPLATE=${page_template} -DOUTPUT=${output} -P ${script}
                     DEPENDS ${source} ${page_template} ${script}
                     COMMENT "Making the user's guide into HTML" VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
