# The Windows sound output: waveOut (winmm, part of every Windows) fed by libmpg123, linked
# statically (MPG123::MPG123, made by cmake/windows.cmake from the dependencies' folder). Included
# from this folder's CMakeLists.txt: adds its sources and libraries to the platform's object
# library, and makes velmorastik_win32_audio, the same sources alone, for the sound output's own
# test program.

# velmorastik_win32_audio_sources(RING FEEDER): the sound output's files but its feeder's in RING,
# the feeder thread's in FEEDER; the tests build variants with a feeder or a ring of their own.
function(velmorastik_win32_audio_sources ring feeder)
  set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set(${ring} ${here}/win32_audio.cpp ${here}/sound_source.cpp ${here}/mp3_source.cpp ${here}/wav_source.cpp
      PARENT_SCOPE)
  set(${feeder} ${here}/audio_feeder.cpp PARENT_SCOPE)
endfunction()
velmorastik_win32_audio_sources(velmorastik_win32_ring_sources velmorastik_win32_feeder_source)

if(TARGET velmorastik_platform_win32)
  target_sources(velmorastik_platform_win32 PRIVATE ${velmorastik_win32_ring_sources} ${velmorastik_win32_feeder_source})
  target_link_libraries(velmorastik_platform_win32 PUBLIC MPG123::MPG123 winmm)
endif()

add_library(velmorastik_win32_audio OBJECT ${velmorastik_win32_ring_sources} ${velmorastik_win32_feeder_source})
target_link_libraries(velmorastik_win32_audio PUBLIC MPG123::MPG123 winmm)
