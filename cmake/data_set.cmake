# The default data set that a build draws, as the generator writes it under data/.
set(VELMORASTIK_DATA_SET_FILES gfx/misc/tzback.jpg lumo.raw sfx/lumo.mp3)
foreach(n RANGE 1 5)
  list(APPEND VELMORASTIK_DATA_SET_FILES gfx/1/${n}.jpg)
endforeach()
foreach(n RANGE 1 6)
  list(APPEND VELMORASTIK_DATA_SET_FILES gfx/2/${n}.jpg)
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
