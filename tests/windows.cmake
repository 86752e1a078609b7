# The Windows build's tests, run under Wine by the build's wine-run (CMAKE_CROSSCOMPILING_EMULATOR):
# the portable unit tests, the capture tool as Windows runs it, and the whole show's digest.
# Included by tests/CMakeLists.txt.

# What every test here needs, made once per run: one Wine server for the whole run, started
# apart from CTest's output and stopped at the end (and the data sets, below).
add_test(NAME wine_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start)
add_test(NAME wine_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT ${velmorastik_tool_test_timeout})
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
# The test lists are read before any test runs: the first reading makes the Wine prefix (some
# ten seconds).
set(wine_discovery TEST_PREFIX ${test_prefix} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${velmorastik_test_timeout})

# How Windows' errors are said, beside the portable tests.
target_sources(velmorastik-tests PRIVATE platform/win32/system_error_test.cpp)
target_link_libraries(velmorastik-tests PRIVATE velmorastik_system_error)
gtest_discover_tests(velmorastik-tests ${wine_discovery})

add_executable(velmorastik-capture-windows-tests capture/capture_windows_test.cpp)
target_link_libraries(velmorastik-capture-windows-tests PRIVATE
  velmorastik_test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(velmorastik-capture-windows-tests PRIVATE
  VELMORASTIK_CAPTURE="$<TARGET_FILE:velmorastik-capture>")
add_dependencies(velmorastik-capture-windows-tests velmorastik-capture)
gtest_discover_tests(velmorastik-capture-windows-tests ${wine_discovery} TIMEOUT ${velmorastik_tool_test_timeout})

# The data sets come from the native build's generator, as on Linux: the same bytes.
if(NOT VELMORASTIK_NATIVE_DEMO_DATA)
  message(STATUS "No VELMORASTIK_NATIVE_DEMO_DATA: the whole show's digest is not tested under Wine")
  return()
endif()
# The tests' set is the build's own copy of the native one (they only read it): nothing drawn again.
set(demo_data_sets ${CMAKE_CURRENT_BINARY_DIR}/demo-data-sets)
add_test(NAME ${test_prefix}demo_data_sets_make
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${VELMORASTIK_BUILD_DATA_SET}/data ${demo_data_sets}/first/data)
add_test(NAME ${test_prefix}demo_data_sets_remove COMMAND ${CMAKE_COMMAND} -E rm -rf ${demo_data_sets})
# Part of the one fixture, as the discovered tests take one name only.
set_tests_properties(${test_prefix}demo_data_sets_make PROPERTIES FIXTURES_SETUP wine TIMEOUT ${velmorastik_show_test_timeout})
set_tests_properties(${test_prefix}demo_data_sets_remove PROPERTIES FIXTURES_CLEANUP wine)

add_executable(velmorastik-e2e-tests e2e/show_digest_test.cpp)
target_link_libraries(velmorastik-e2e-tests PRIVATE velmorastik_test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(velmorastik-e2e-tests PRIVATE
  VELMORASTIK_DEMO_DATA="${VELMORASTIK_NATIVE_DEMO_DATA}"
  VELMORASTIK_MAKE_SETS="${CMAKE_CURRENT_SOURCE_DIR}/demo_data/make_sets.sh"
  VELMORASTIK_CAPTURE="$<TARGET_FILE:velmorastik-capture>")
add_dependencies(velmorastik-e2e-tests velmorastik-capture)
gtest_discover_tests(velmorastik-e2e-tests ${wine_discovery}
  ENVIRONMENT VELMORASTIK_DEMO_DATA_SETS=${demo_data_sets} TIMEOUT ${velmorastik_show_test_timeout})

# The Win32 platform against a real window, and the show itself, under Wine on private X servers:
# each scenario makes its own Wine prefix on first use and ends Wine's processes with it, so that
# the next one starts them on its own X server. Screenshots are compared by the native build's
# frame_match.
get_filename_component(native_bin ${VELMORASTIK_NATIVE_DEMO_DATA} DIRECTORY)
# Started from a console, the show writes there (run by the console scenario below).
add_executable(velmorastik-console-test platform/win32/console_test.cpp)
add_executable(velmorastik-win32-platform-tests platform/win32_platform_test.cpp)
target_link_libraries(velmorastik-win32-platform-tests PRIVATE
  velmorastik_platform_win32 GTest::gtest GTest::gtest_main)

# The Windows sound output's test program and its scenarios under Wine (a PulseAudio null sink
# records what waveOut plays).
add_executable(velmorastik-win32-audio-test ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/win32_audio_test.cpp)
target_link_libraries(velmorastik-win32-audio-test PRIVATE velmorastik_win32_audio velmorastik_audio psapi user32)

foreach(scenario playback no_device long_file)
  add_test(NAME win32_audio_${scenario} COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/audio_test.sh ${scenario})
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
add_executable(velmorastik-win32-audio-test-main-thread-feeder ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/win32_audio_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/main_thread_feeder.cpp ${ring_sources})
add_executable(velmorastik-win32-audio-test-one-buffer ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/win32_audio_test.cpp
  ${ring_sources} ${feeder_source})
target_compile_definitions(velmorastik-win32-audio-test-one-buffer PRIVATE VELMORASTIK_AUDIO_RING_BUFFERS=1)
foreach(variant main-thread-feeder one-buffer)
  target_link_libraries(velmorastik-win32-audio-test-${variant} PRIVATE
    velmorastik_audio MPG123::MPG123 winmm psapi user32)
  add_test(NAME win32_audio_catches_${variant} COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/audio_test.sh caught)
  set_tests_properties(win32_audio_catches_${variant} PROPERTIES
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    ENVIRONMENT "AUDIO_TEST=$<TARGET_FILE:velmorastik-win32-audio-test-${variant}>;WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR};WINE_AUDIO_PREFIX=${CMAKE_BINARY_DIR}/wine-audio")
endforeach()

foreach(scenario platform windowed fullscreen failures soundtrack console)
  add_test(NAME windows_e2e_${scenario} COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/windows/${scenario}.sh)
  set_tests_properties(windows_e2e_${scenario} PROPERTIES
    FIXTURES_REQUIRED wine
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    RESOURCE_LOCK x_server
    ENVIRONMENT "WINDOWS_BIN=$<TARGET_FILE_DIR:velmorastik>;VELMORASTIK_BIN=${native_bin};E2E_DATA=${demo_data_sets}/first;WINEPREFIX=${CMAKE_BINARY_DIR}/wine-e2e;VERSION=${PROJECT_VERSION}")
endforeach()
# Wine's sound output breaks up on a saturated machine; the recording must not be made beside a build.
set_tests_properties(windows_e2e_soundtrack PROPERTIES RUN_SERIAL TRUE)
# The others look at the screen at given moments of the show: a core of their own (tests/CMakeLists.txt).
set_tests_properties(windows_e2e_platform windows_e2e_windowed windows_e2e_fullscreen windows_e2e_failures
  PROPERTIES RESOURCE_LOCK "x_server;${cores_lock}" COST ${both_cores_cost})

# The release as a user gets it (packaging/windows): read back from its files, and installed and
# uninstalled in a fresh Wine prefix of its own, made once for those steps (the installer would find
# the other tests' programs and keys in a shared one).
if(VELMORASTIK_WINDOWS_RELEASE)
  set(release_env ${VELMORASTIK_WINDOWS_RELEASE} BIN=$<TARGET_FILE_DIR:velmorastik> VERSION=${PROJECT_VERSION})
  # Debian's Python, which has pefile (python3-pefile), whatever python3 comes first in PATH.
  foreach(suite ProgramResources Stripping Notices Readme)
    add_test(NAME windows_release_${suite}
      COMMAND /usr/bin/python3 -m unittest -v release_test.${suite}
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows)
    set_tests_properties(windows_release_${suite} PROPERTIES TIMEOUT ${velmorastik_test_timeout}
      ENVIRONMENT "${release_env};PYTHONDONTWRITEBYTECODE=1;LINK_DIR=${CMAKE_BINARY_DIR};BUILD_DIR=${CMAKE_BINARY_DIR};OBJDUMP=${CMAKE_OBJDUMP};SYSTEM_IMPORTS=/usr/${mingw_triple}/lib;DATA_SET_TABLE=${PROJECT_SOURCE_DIR}/src/show/data_set.txt")
  endforeach()

  # The whole show's digest test, for the installed capture: cmd runs the test's command, and finds
  # the program in the folder the test starts in, the install folder.
  add_executable(velmorastik-installed-digest-test e2e/show_digest_test.cpp)
  target_link_libraries(velmorastik-installed-digest-test PRIVATE velmorastik_test_support GTest::gtest GTest::gtest_main)
  target_compile_definitions(velmorastik-installed-digest-test PRIVATE
    VELMORASTIK_DEMO_DATA="${VELMORASTIK_NATIVE_DEMO_DATA}"
    VELMORASTIK_MAKE_SETS="${CMAKE_CURRENT_SOURCE_DIR}/demo_data/make_sets.sh"
    VELMORASTIK_CAPTURE="velmorastik-capture.exe")

  set(install_test ${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/install_test.sh)
  set(install_env "${release_env};DIGEST_TEST=$<TARGET_FILE:velmorastik-installed-digest-test>;WINEPREFIX=${CMAKE_BINARY_DIR}/wine-install;PYTHON=/usr/bin/python3")
  foreach(step prefix remove nothing install in_use uninstall reinstall menus)
    add_test(NAME windows_install_${step} COMMAND ${install_test} ${step})
    set_tests_properties(windows_install_${step} PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "${install_env}"
      TIMEOUT ${velmorastik_test_timeout})
  endforeach()
  set_tests_properties(windows_install_prefix PROPERTIES FIXTURES_SETUP windows_install TIMEOUT ${velmorastik_tool_test_timeout})
  set_tests_properties(windows_install_remove PROPERTIES FIXTURES_CLEANUP windows_install)
  # In this order, in the one prefix: the failed install first, then the real one, the uninstaller
  # refusing while the installed show runs and then undoing it, a second install, and last the
  # user's menus, which none of them may have changed.
  set_tests_properties(windows_install_nothing PROPERTIES FIXTURES_REQUIRED windows_install)
  set_tests_properties(windows_install_install PROPERTIES FIXTURES_REQUIRED windows_install
    FIXTURES_SETUP windows_installed DEPENDS windows_install_nothing TIMEOUT ${velmorastik_show_test_timeout})
  set_tests_properties(windows_install_in_use PROPERTIES FIXTURES_REQUIRED "windows_install;windows_installed"
    TIMEOUT ${velmorastik_tool_test_timeout})
  set_tests_properties(windows_install_uninstall PROPERTIES FIXTURES_REQUIRED "windows_install;windows_installed"
    DEPENDS windows_install_in_use)
  set_tests_properties(windows_install_reinstall PROPERTIES FIXTURES_REQUIRED windows_install
    DEPENDS windows_install_uninstall TIMEOUT ${velmorastik_tool_test_timeout})
  set_tests_properties(windows_install_menus PROPERTIES FIXTURES_REQUIRED windows_install
    DEPENDS "windows_install_nothing;windows_install_install;windows_install_in_use;windows_install_uninstall;windows_install_reinstall")
endif()
