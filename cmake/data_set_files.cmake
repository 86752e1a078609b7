# The files of a data set, under its data/ folder, as the generator writes them.
set(VELMORASTIK_DATA_SET_FILES gfx/misc/tzback.jpg lumo.raw sfx/lumo.mp3)
foreach(n RANGE 1 5)
  list(APPEND VELMORASTIK_DATA_SET_FILES gfx/1/${n}.jpg)
endforeach()
foreach(n RANGE 1 6)
  list(APPEND VELMORASTIK_DATA_SET_FILES gfx/2/${n}.jpg)
endforeach()
