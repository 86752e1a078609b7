# The Windows sound output's test program and its scenarios under Wine (a PulseAudio null sink
# records what waveOut plays). Included from the Windows part of tests/CMakeLists.txt.
add_executable(velmorastik-win32-audio-test ${CMAKE_CURRENT_LIST_DIR}/win32_audio_test.cpp)
target_link_libraries(velmorastik-win32-audio-test PRIVATE velmorastik_win32_audio velmorastik_audio psapi user32)

foreach(scenario playback no_device long_file)
  add_test(NAME win32_audio_${scenario} COMMAND ${CMAKE_CURRENT_LIST_DIR}/audio_test.sh ${scenario})
  set_tests_properties(win32_audio_${scenario} PROPERTIES
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    # Alone: Wine's own sound output breaks up on a saturated machine (gaps of 200 ms even from a
    # program that queues all its sound at once), which would hide what these check.
    RUN_SERIAL TRUE
    ENVIRONMENT "AUDIO_TEST=$<TARGET_FILE:velmorastik-win32-audio-test>;WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR};WINE_AUDIO_PREFIX=${CMAKE_BINARY_DIR}/wine-audio")
endforeach()
