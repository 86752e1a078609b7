# velmorastik-VERSION-setup.exe with NSIS, and the uninstall.exe it carries: the same files as the
# zip, the lists of what the one installs and the other checks and removes written from one list
# here. Included by CMakeLists.txt beside it, which sets stripped, readme, notices, data_set_dir,
# data_set_outputs and icon.

find_program(VELMORASTIK_MAKENSIS makensis)
if(NOT VELMORASTIK_MAKENSIS OR NOT icon)
  message(STATUS "No makensis or no icon: no installer (scripts/install-deps adds NSIS, scripts/windows gives both)")
  return()
endif()

# Each installed file as "SOURCE|PATH UNDER THE INSTALL FOLDER", folders in Windows' spelling.
set(installed)
foreach(file IN LISTS stripped readme notices)
  get_filename_component(name ${file} NAME)
  list(APPEND installed "${file}|${name}")
endforeach()
foreach(path IN LISTS VELMORASTIK_DATA_SET_FILES)
  string(REPLACE "/" "\\" windows_path "data/${path}")
  list(APPEND installed "${data_set_dir}/data/${path}|${windows_path}")
endforeach()

set(install_lines "")
set(installed_lines "")
set(folders)
foreach(entry IN LISTS installed)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 source)
  list(GET parts 1 target)
  string(REGEX MATCH "^(.*)\\\\[^\\\\]+$" in_folder "${target}")
  set(folder "${CMAKE_MATCH_1}")
  if(in_folder)
    string(APPEND install_lines "  SetOutPath \"$INSTDIR\\${folder}\"\n")
    # Every folder above it too, for the empty-folder removals.
    while(folder)
      list(APPEND folders "${folder}")
      string(REGEX MATCH "^(.*)\\\\[^\\\\]+$" has_parent "${folder}")
      set(folder "${CMAKE_MATCH_1}")
      if(NOT has_parent)
        set(folder "")
      endif()
    endwhile()
  else()
    string(APPEND install_lines "  SetOutPath \"$INSTDIR\"\n")
  endif()
  string(APPEND install_lines "  File \"${source}\"\n")
  string(APPEND installed_lines "  !insertmacro \${ACTION} \"${target}\"\n")
endforeach()
# Deepest first, so that a folder is empty when its turn comes.
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
set(folder_lines "")
foreach(folder IN LISTS folders)
  string(APPEND folder_lines "  !insertmacro \${ACTION} \"${folder}\"\n")
endforeach()
set(uninstaller ${CMAKE_CURRENT_BINARY_DIR}/uninstall.exe)
set(config_nsh ${CMAKE_CURRENT_BINARY_DIR}/installer_config.nsh)
file(CONFIGURE OUTPUT ${config_nsh} CONTENT "; Made by packaging/windows/installer.cmake.
!define VERSION \"${PROJECT_VERSION}\"
!define VERSION4 \"${PROJECT_VERSION}.0\"
!define PUBLISHER \"${VELMORASTIK_PUBLISHER}\"
!define ICON \"${icon}\"
!define UNINSTALLER \"${uninstaller}\"
!macro install_files
${install_lines}!macroend
; Each installed file, then each installed folder (deepest first), under the install folder, as
; the argument of the macro ACTION.
!macro installed_files ACTION
${installed_lines}!macroend
!macro installed_folders ACTION
${folder_lines}!macroend
" @ONLY)

add_custom_command(OUTPUT ${uninstaller}
  COMMAND ${VELMORASTIK_MAKENSIS} -V2 -NOCD -DCONFIG=${config_nsh} -DOUT=${uninstaller}
    ${CMAKE_CURRENT_SOURCE_DIR}/uninstaller.nsi
  DEPENDS uninstaller.nsi common.nsh ${config_nsh} ${icon}
  COMMENT "Making uninstall.exe"
  VERBATIM)
set(setup ${CMAKE_BINARY_DIR}/${setup_name})
add_custom_command(OUTPUT ${setup}
  COMMAND ${VELMORASTIK_MAKENSIS} -V2 -NOCD -DCONFIG=${config_nsh} -DOUT=${setup}
    ${CMAKE_CURRENT_SOURCE_DIR}/installer.nsi
  DEPENDS installer.nsi common.nsh ${config_nsh} ${uninstaller} ${stripped} ${readme} ${notices} ${data_set_outputs} ${icon}
  COMMENT "Making ${setup_name}"
  VERBATIM)
add_custom_target(windows_installer ALL DEPENDS ${setup})

# For the tests (tests/windows.cmake): what was made, and from what.
set(VELMORASTIK_WINDOWS_RELEASE
  "ZIP=${zip};SETUP=${setup};RELEASE=${staging}/${folder_name};ICON=${icon};INSTALLER_NSI=${CMAKE_CURRENT_SOURCE_DIR}/installer.nsi;INSTALLER_CONFIG=${config_nsh};MAPS=${CMAKE_CURRENT_BINARY_DIR}/velmorastik.map,${CMAKE_CURRENT_BINARY_DIR}/velmorastik-capture.map"
  CACHE INTERNAL "The Windows release's files, for the tests")
