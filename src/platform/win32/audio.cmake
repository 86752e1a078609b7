# The Windows sound output: waveOut (winmm, part of every Windows) fed by libmpg123, linked
# statically (MPG123::MPG123, made by cmake/windows.cmake from the dependencies' folder). Included
# from this folder's CMakeLists.txt: adds its sources and libraries to the platform's object
# library, and makes velmorastik_win32_audio, the same sources alone, for the sound output's own
# test program.

set(velmorastik_win32_audio_sources
  ${CMAKE_CURRENT_LIST_DIR}/win32_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sound_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mp3_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wav_source.cpp)

if(TARGET velmorastik_platform_win32)
  target_sources(velmorastik_platform_win32 PRIVATE ${velmorastik_win32_audio_sources})
  target_link_libraries(velmorastik_platform_win32 PUBLIC MPG123::MPG123 winmm)
endif()

add_library(velmorastik_win32_audio OBJECT ${velmorastik_win32_audio_sources})
target_link_libraries(velmorastik_win32_audio PUBLIC MPG123::MPG123 winmm)
