# The default data set that a build draws, as the generator writes it under data/: the paths of
# the show's own table, src/show/data_set.txt ("KIND PATH" rows), read again when it changes.
set(VELMORASTIK_DATA_SET_TABLE ${PROJECT_SOURCE_DIR}/src/show/data_set.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELMORASTIK_DATA_SET_TABLE})
file(STRINGS ${VELMORASTIK_DATA_SET_TABLE} data_set_rows REGEX "^[a-z]+ ")
set(VELMORASTIK_DATA_SET_FILES)
foreach(row IN LISTS data_set_rows)
  string(REGEX REPLACE "^([a-z]+) +(.*)$" "\\2" path "${row}")
  list(APPEND VELMORASTIK_DATA_SET_FILES ${path})
endforeach()

# Draws the set into VELMORASTIK_BUILD_DATA_SET with generator (a target or a program's path),
# anew whenever the generator changes; the files made are set in outputs_var.
function(velmorastik_data_set_command generator outputs_var)
  list(TRANSFORM VELMORASTIK_DATA_SET_FILES PREPEND ${VELMORASTIK_BUILD_DATA_SET}/data/ OUTPUT_VARIABLE outputs)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELMORASTIK_BUILD_DATA_SET}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORASTIK_BUILD_DATA_SET}
    COMMAND ${generator} ${VELMORASTIK_BUILD_DATA_SET}
    DEPENDS ${generator}
    COMMENT "Drawing and composing the default data set"
    VERBATIM)
  set(${outputs_var} ${outputs} PARENT_SCOPE)
endfunction()

# Copies a set another build drew (SOURCE holding data/) into VELMORASTIK_BUILD_DATA_SET, anew
# whenever one of its files changes: the cross builds take the native build's rather than draw it
# again. The files made are set in outputs_var.
function(velmorastik_data_set_copy source outputs_var)
  list(TRANSFORM VELMORASTIK_DATA_SET_FILES PREPEND ${VELMORASTIK_BUILD_DATA_SET}/data/ OUTPUT_VARIABLE outputs)
  list(TRANSFORM VELMORASTIK_DATA_SET_FILES PREPEND ${source}/data/ OUTPUT_VARIABLE inputs)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELMORASTIK_BUILD_DATA_SET}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${source}/data ${VELMORASTIK_BUILD_DATA_SET}/data
    DEPENDS ${inputs}
    COMMENT "Copying the native build's data set"
    VERBATIM)
  set(${outputs_var} ${outputs} PARENT_SCOPE)
endfunction()
