# SPDX-License-Identifier: MIT
# mervane_man_page(PAGE.1): installs a manual page gzip-compressed, as
# distributions ship them; the .gz is made at build time, reproducibly (-n).
function(mervane_man_page page)
  if(WIN32)
    return()
  endif()
  get_filename_component(name ${page} NAME)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${compressed}
                     DEPENDS ${page} VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
