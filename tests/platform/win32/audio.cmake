# The Windows sound output's test program and its scenarios under Wine (a PulseAudio null sink
# records what waveOut plays). Included from the Windows part of tests/CMakeLists.txt.
add_executable(velmorastik-win32-audio-test ${CMAKE_CURRENT_LIST_DIR}/win32_audio_test.cpp)
target_link_libraries(velmorastik-win32-audio-test PRIVATE velmorastik_win32_audio velmorastik_audio psapi user32)

foreach(scenario playback no_device long_file)
  add_test(NAME win32_audio_${scenario} COMMAND ${CMAKE_CURRENT_LIST_DIR}/audio_test.sh ${scenario})
  set_tests_properties(win32_audio_${scenario} PROPERTIES
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    # Alone, as far as CTest can: Wine's own sound output breaks up on a busy machine (gaps of 150 ms
    # even from a program that queues all its sound at once). The checks allow for its breaks, but
    # each costs the comparison some of the recording.
    RUN_SERIAL TRUE
    ENVIRONMENT "AUDIO_TEST=$<TARGET_FILE:velmorastik-win32-audio-test>;WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR};WINE_AUDIO_PREFIX=${CMAKE_BINARY_DIR}/wine-audio")
endforeach()

# The same program over two deliberately wrong sound outputs, which the playback must catch: one
# whose ring is refilled by the main thread, one whose ring is a single buffer.
velmorastik_win32_audio_sources(ring_sources feeder_source)
add_executable(velmorastik-win32-audio-test-main-thread-feeder ${CMAKE_CURRENT_LIST_DIR}/win32_audio_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_thread_feeder.cpp ${ring_sources})
add_executable(velmorastik-win32-audio-test-one-buffer ${CMAKE_CURRENT_LIST_DIR}/win32_audio_test.cpp
  ${ring_sources} ${feeder_source})
target_compile_definitions(velmorastik-win32-audio-test-one-buffer PRIVATE VELMORASTIK_AUDIO_RING_BUFFERS=1)
foreach(variant main-thread-feeder one-buffer)
  target_link_libraries(velmorastik-win32-audio-test-${variant} PRIVATE
    velmorastik_audio MPG123::MPG123 winmm psapi user32)
  add_test(NAME win32_audio_catches_${variant} COMMAND ${CMAKE_CURRENT_LIST_DIR}/audio_test.sh caught)
  set_tests_properties(win32_audio_catches_${variant} PROPERTIES
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    ENVIRONMENT "AUDIO_TEST=$<TARGET_FILE:velmorastik-win32-audio-test-${variant}>;WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR};WINE_AUDIO_PREFIX=${CMAKE_BINARY_DIR}/wine-audio")
endforeach()
