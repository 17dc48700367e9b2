# SPDX-License-Identifier: MIT
# Read by cpack for each generator. The portable archive is one archive of
# every component but "system", which holds the installed-copy marker.
if(CPACK_GENERATOR STREQUAL "TGZ" OR CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL Unspecified)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

# The Windows installer: the program's icon, and "Open with" for the
# animations Mervane divides, per user, as Windows keeps such choices; the
# uninstaller takes it away again, with the keys it made on the way when
# nothing else is in them, and leaves the user's work folder alone. An APNG
# usually carries .png, but Mervane refuses nearly every PNG (a still one),
# so it offers itself only for .apng, the name some APNGs carry.
if(CPACK_GENERATOR STREQUAL "NSIS")
  # Nothing to choose: the marker by which the installed copy keeps its
  # work in the user's folder is always installed.
  set(CPACK_MONOLITHIC_INSTALL ON)
  # The folder of both programs on PATH, when asked for (not by default).
  set(CPACK_NSIS_MODIFY_PATH ON)
  set(CPACK_NSIS_MUI_ICON "${CPACK_MERVANE_ICON}")
  set(CPACK_NSIS_MUI_UNIICON "${CPACK_MERVANE_ICON}")
  set(CPACK_PACKAGE_ICON "${CPACK_MERVANE_ART}/installer-header.bmp")
  set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP "${CPACK_MERVANE_ART}/installer-side.bmp")
  set(CPACK_NSIS_MUI_UNWELCOMEFINISHPAGE_BITMAP "${CPACK_MERVANE_ART}/installer-side.bmp")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\mervane.exe")
  set(open_with "Software\\Classes\\Applications\\mervane.exe")
  set(install
      "WriteRegStr HKCU '${open_with}\\shell\\open\\command' '' '\"$INSTDIR\\bin\\mervane.exe\" \"%1\"'")
  set(uninstall "DeleteRegKey HKCU '${open_with}'")
  foreach(type .gif .webp .apng)
    set(classes "Software\\Classes\\${type}")
    string(APPEND install "
  WriteRegStr HKCU '${open_with}\\SupportedTypes' '${type}' ''
  WriteRegStr HKCU '${classes}\\OpenWithList\\mervane.exe' '' ''")
    string(APPEND uninstall "
  DeleteRegKey HKCU '${classes}\\OpenWithList\\mervane.exe'
  DeleteRegKey /ifempty HKCU '${classes}\\OpenWithList'
  DeleteRegKey /ifempty HKCU '${classes}'")
  endforeach()
  string(APPEND uninstall "
  DeleteRegKey /ifempty HKCU 'Software\\Classes\\Applications'")
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "${install}")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${uninstall}")
endif()
