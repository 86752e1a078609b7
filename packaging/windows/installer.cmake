# velmorastik-VERSION-setup.exe with NSIS: the same files as the zip, the lists of what it installs
# and what its uninstaller removes written from one list here. Included by CMakeLists.txt beside
# it, which sets stripped, readme, notices, data_set_dir, data_set_outputs and icon.

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
set(uninstall_lines "")
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
  string(APPEND uninstall_lines "  Delete \"$INSTDIR\\${target}\"\n")
endforeach()
# Deepest first, so that a folder is empty when its turn comes.
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
  string(APPEND uninstall_lines "  RMDir \"$INSTDIR\\${folder}\"\n")
endforeach()
set(files_nsh ${CMAKE_CURRENT_BINARY_DIR}/installed_files.nsh)
file(CONFIGURE OUTPUT ${files_nsh} CONTENT
  "; Made by packaging/windows/installer.cmake.\n!macro install_files\n${install_lines}!macroend\n!macro uninstall_files\n${uninstall_lines}!macroend\n")

set(setup ${CMAKE_BINARY_DIR}/${setup_name})
add_custom_command(OUTPUT ${setup}
  COMMAND ${VELMORASTIK_MAKENSIS} -V2 -NOCD
    -DVERSION=${PROJECT_VERSION} -DVERSION4=${PROJECT_VERSION}.0 "-DPUBLISHER=${VELMORASTIK_PUBLISHER}"
    -DICON=${icon} -DOUT=${setup} -DFILES=${files_nsh}
    ${CMAKE_CURRENT_SOURCE_DIR}/installer.nsi
  DEPENDS installer.nsi ${files_nsh} ${stripped} ${readme} ${notices} ${data_set_outputs} ${icon}
  COMMENT "Making ${setup_name}"
  VERBATIM)
add_custom_target(windows_installer ALL DEPENDS ${setup})
