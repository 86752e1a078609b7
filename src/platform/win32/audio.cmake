# The Windows sound output: waveOut (winmm, part of every Windows) fed by libmpg123, linked
# statically from the dependencies' cache (found through the toolchain's find root). Included
# from this folder's CMakeLists.txt: it adds its sources and libraries to the platform's object
# library when that exists, and makes velmorastik_win32_audio, the same sources alone, for the
# sound output's own test program.

set(velmorastik_win32_audio_sources
  ${CMAKE_CURRENT_LIST_DIR}/win32_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_source.cpp)

if(NOT TARGET velmorastik_mpg123)
  find_path(MPG123_INCLUDE_DIR mpg123.h REQUIRED)
  find_library(MPG123_LIBRARY NAMES libmpg123.a mpg123 REQUIRED)
  add_library(velmorastik_mpg123 INTERFACE)
  target_include_directories(velmorastik_mpg123 INTERFACE ${MPG123_INCLUDE_DIR})
  # The static library's own needs: shlwapi for its path functions.
  target_link_libraries(velmorastik_mpg123 INTERFACE ${MPG123_LIBRARY} shlwapi)
endif()

if(TARGET velmorastik_platform_win32)
  target_sources(velmorastik_platform_win32 PRIVATE ${velmorastik_win32_audio_sources})
  target_link_libraries(velmorastik_platform_win32 PUBLIC velmorastik_mpg123 winmm)
endif()

add_library(velmorastik_win32_audio OBJECT ${velmorastik_win32_audio_sources})
target_link_libraries(velmorastik_win32_audio PUBLIC velmorastik_mpg123 winmm)
