# The Windows sound output: waveOut (winmm, part of every Windows) fed by libmpg123, linked
# statically from the dependencies' folder (found through the toolchain's find root). Included
# from this folder's CMakeLists.txt: adds its sources and libraries to the platform's object
# library, and makes velmorastik_win32_audio, the same sources alone, for the sound output's own
# test program.

set(velmorastik_win32_audio_sources
  ${CMAKE_CURRENT_LIST_DIR}/win32_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_source.cpp)

# Normally made by the top-level Windows settings; here for a build that includes this file alone.
if(NOT TARGET MPG123::MPG123)
  find_path(MPG123_INCLUDE_DIR mpg123.h REQUIRED)
  find_library(MPG123_LIBRARY NAMES libmpg123.a mpg123 REQUIRED)
  add_library(MPG123::MPG123 STATIC IMPORTED GLOBAL)
  set_target_properties(MPG123::MPG123 PROPERTIES
    IMPORTED_LOCATION ${MPG123_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${MPG123_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES shlwapi)
endif()

if(TARGET velmorastik_platform_win32)
  target_sources(velmorastik_platform_win32 PRIVATE ${velmorastik_win32_audio_sources})
  target_link_libraries(velmorastik_platform_win32 PUBLIC MPG123::MPG123 winmm)
endif()

add_library(velmorastik_win32_audio OBJECT ${velmorastik_win32_audio_sources})
target_link_libraries(velmorastik_win32_audio PUBLIC MPG123::MPG123 winmm)
