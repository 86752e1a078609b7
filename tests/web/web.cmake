# The web build's tests, included by tests/CMakeLists.txt: the portable unit tests compiled to
# WebAssembly, run under Node (CMAKE_CROSSCOMPILING_EMULATOR) with the host's files in reach;
# then the web show in headless Chromium and in headless Firefox, the same scenarios driven by
# puppeteer-core (tests/web/browser.mjs): web_NAME in Chromium, web_firefox_NAME in Firefox. It compares the page with the native build's capture tool on the
# data set the site carries, so it needs:
#   VELMORASTIK_WEB_SITE        the built site (index.html, script, .wasm, data/)
#   VELMORASTIK_NATIVE_CAPTURE  a native velmorastik-capture
#   VELMORASTIK_NATIVE_DATA     the folder holding the data/ the site was built with
# and node, puppeteer-core in node_modules, and /usr/bin/chromium or /usr/bin/firefox-esr on the
# machine; each test skips, saying why, when one is missing.
# scripts/web passes the native build's folders as VELMORASTIK_NATIVE_BIN and _DATA_SET.
target_link_options(velmorastik-tests PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1)
gtest_discover_tests(velmorastik-tests TEST_PREFIX ${test_prefix} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT ${velmorastik_test_timeout})

# The web platform itself in test mode, with a stand-in for the page's canvas.
add_executable(velmorastik-web-platform-tests platform/web/web_platform_test.cpp)
target_link_libraries(velmorastik-web-platform-tests PRIVATE
  velmorastik_platform_web velmorastik_fatal GTest::gtest GTest::gtest_main)
target_link_options(velmorastik-web-platform-tests PRIVATE -sEXIT_RUNTIME=1)
gtest_discover_tests(velmorastik-web-platform-tests TEST_PREFIX ${test_prefix} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT ${velmorastik_test_timeout})

# The browser tests' names in each engine, and the engine each name's scenarios run in.
set(browser_engines chromium firefox)
set(browser_tests_chromium web_)
set(browser_tests_firefox web_firefox_)

# The site in real browsers.
if(NOT DEFINED VELMORASTIK_NATIVE_BIN)
  set(VELMORASTIK_NATIVE_BIN ${PROJECT_SOURCE_DIR}/build/bin)
endif()
if(NOT DEFINED VELMORASTIK_NATIVE_DATA_SET)
  set(VELMORASTIK_NATIVE_DATA_SET ${PROJECT_SOURCE_DIR}/build/data-set)
endif()
set(VELMORASTIK_WEB_SITE ${CMAKE_BINARY_DIR}/site CACHE PATH "The built web site the browser tests load")
set(VELMORASTIK_NATIVE_CAPTURE ${VELMORASTIK_NATIVE_BIN}/velmorastik-capture
  CACHE FILEPATH "A native velmorastik-capture, the frames the web show must equal")
set(VELMORASTIK_NATIVE_DATA ${VELMORASTIK_NATIVE_DATA_SET}
  CACHE PATH "The folder holding the data/ the web site was built with")
# The native build's one capture of that set at 60 frames a second, as every frame's hash.
get_filename_component(native_build ${VELMORASTIK_NATIVE_BIN} DIRECTORY)
set(VELMORASTIK_NATIVE_SHOW_FRAMES ${native_build}/show-frames-60.txt
  CACHE FILEPATH "The native build's frame hashes of the whole show at 60 fps (its show_frames target)")

# browser_tests(KIND COMMAND command... SCENARIOS scenario... TIMEOUT seconds ENVIRONMENT list): each
# scenario as a test in each engine, named by the engine's prefix, KIND and the scenario, the
# scenario last on its command line; missing tools skip it (77).
function(browser_tests kind)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT;ENVIRONMENT" "COMMAND;SCENARIOS")
  foreach(engine ${browser_engines})
    foreach(scenario ${arg_SCENARIOS})
      set(test ${browser_tests_${engine}}${kind}${scenario})
      add_test(NAME ${test} COMMAND ${arg_COMMAND} ${scenario})
      set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${arg_TIMEOUT}
        ENVIRONMENT "WEB_BROWSER=${engine};${arg_ENVIRONMENT}")
    endforeach()
  endforeach()
endfunction()

# The show's page. The whole show in virtual time and the native capture beside it take a few
# minutes at most.
browser_tests("" COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_browser_test.sh
  SCENARIOS virtual_clock canvas_readback live missing_picture long_soundtrack broken_soundtrack no_sound_output file_page
  TIMEOUT 480
  ENVIRONMENT "SITE=${VELMORASTIK_WEB_SITE};NATIVE_CAPTURE=${VELMORASTIK_NATIVE_CAPTURE};NATIVE_DATA=${VELMORASTIK_NATIVE_DATA};NATIVE_SHOW_FRAMES=${VELMORASTIK_NATIVE_SHOW_FRAMES}")

# Firefox with no sound server at all, as on a machine without one: its AudioContext never starts,
# and the show and the maker's Play go on in silence after 2 s.
add_test(NAME web_firefox_no_sound_server COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_browser_test.sh no_sound_output)
set_tests_properties(web_firefox_no_sound_server PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
  ENVIRONMENT "WEB_BROWSER=firefox;NO_SOUND_SERVER=1;SITE=${VELMORASTIK_WEB_SITE}")

# The maker's page: pictures in, the data set out, played natively and in the page, its fitting
# beside the native import's.
set(VELMORASTIK_NATIVE_IMPORT ${VELMORASTIK_NATIVE_BIN}/velmorastik-import
  CACHE FILEPATH "A native velmorastik-import, the fits the maker's are compared with")
# 12-megapixel inputs made and fitted, and the whole show captured natively: a few minutes.
browser_tests(maker_ COMMAND ${CMAKE_CURRENT_LIST_DIR}/maker_test.sh
  SCENARIOS pictures set_plays fit_quality heic hostile music_refused
  TIMEOUT 600
  ENVIRONMENT "SITE=${VELMORASTIK_WEB_SITE};NATIVE_CAPTURE=${VELMORASTIK_NATIVE_CAPTURE};NATIVE_IMPORT=${VELMORASTIK_NATIVE_IMPORT}")

# The tests' own hash, pixel order and server, without a browser.
find_program(VELMORASTIK_NODE node)
if(VELMORASTIK_NODE)
  add_test(NAME web_test_harness COMMAND ${VELMORASTIK_NODE} --test ${CMAKE_CURRENT_LIST_DIR}/harness_test.mjs)
  # The site's server: links out of the site, a named pipe, foreign Host names, its headers and ranges,
  # its end on a signal.
  add_test(NAME web_server COMMAND ${VELMORASTIK_NODE} --test ${CMAKE_CURRENT_LIST_DIR}/serve_test.mjs)
  set_tests_properties(web_server PROPERTIES TIMEOUT 60)
  # The maker's header and resampling rules, without a browser.
  add_test(NAME web_maker_rules COMMAND ${VELMORASTIK_NODE} --test ${CMAKE_CURRENT_LIST_DIR}/maker_unit_test.mjs)
  set_tests_properties(web_maker_rules PROPERTIES TIMEOUT 60)
  # The site's NOTICES.txt against the maker's bundle and the programs' links, and the pages' links to it.
  add_test(NAME web_site_notices COMMAND ${VELMORASTIK_NODE} ${CMAKE_CURRENT_LIST_DIR}/notices_test.mjs)
  set_tests_properties(web_site_notices PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60
    ENVIRONMENT "SITE=${VELMORASTIK_WEB_SITE};BUILD=${CMAKE_BINARY_DIR};NODE_MODULES=${PROJECT_SOURCE_DIR}/node_modules")
endif()

# The page's maker's soundtrack in each browser against the native import on the same music
# (tests/web/sound_test.mjs): the maker's module from this build, the import from the native one.
# Two minutes of music made twice, once in the page and once natively, and decoded: a minute or two.
if(VELMORASTIK_NODE)
  browser_tests(sound_ COMMAND ${VELMORASTIK_NODE} ${CMAKE_CURRENT_LIST_DIR}/sound_test.mjs
    SCENARIOS long_music same_bytes short_music music_start two_hours refused
    TIMEOUT 300
    ENVIRONMENT "MAKER_MODULE=${CMAKE_BINARY_DIR}/bin;NATIVE_IMPORT=${VELMORASTIK_NATIVE_BIN}/velmorastik-import")
endif()

# The maker's video (tests/web/video_test.mjs): the whole show exported at 30 fps, probed and its
# frames hashed against the native capture's; Cancel.
# The show encoded in the page and captured natively: a minute or two.
if(VELMORASTIK_NODE)
  browser_tests(video_ COMMAND ${VELMORASTIK_NODE} ${CMAKE_CURRENT_LIST_DIR}/video_test.mjs
    SCENARIOS whole_show cancel
    TIMEOUT 400
    ENVIRONMENT "SITE=${VELMORASTIK_WEB_SITE};NATIVE_CAPTURE=${VELMORASTIK_NATIVE_CAPTURE}")
endif()

# The browsers that draw the whole show, fit large pictures, make music or encode a video keep a
# core busy: each engine's one after another, on a core of its own, beside the other engine's. Those
# that time the show's start or a refusal, or bound their memory, have both cores
# (tests/CMakeLists.txt): slowed by a neighbour, a browser collects its garbage later, and Firefox's
# two-hour soundtrack grew by 241 MB against its 200 beside Chromium's heavy tests.
set(browser_core_chromium ${core_lock_a})
set(browser_core_firefox ${core_lock_b})
if(VELMORASTIK_NODE)
  foreach(engine ${browser_engines})
    set(prefix ${browser_tests_${engine}})
    set_tests_properties(${prefix}virtual_clock ${prefix}maker_pictures ${prefix}maker_set_plays
      ${prefix}maker_fit_quality ${prefix}sound_long_music ${prefix}sound_same_bytes ${prefix}video_whole_show
      ${prefix}video_cancel
      PROPERTIES RESOURCE_LOCK ${browser_core_${engine}} COST ${cores_cost})
    set_tests_properties(${prefix}long_soundtrack ${prefix}maker_hostile ${prefix}maker_heic ${prefix}sound_two_hours
      PROPERTIES RESOURCE_LOCK "${cores_lock}" COST ${both_cores_cost})
  endforeach()
endif()

# What only Chromium is asked here: the site's worker kept whole and an update taking over (its
# installability is read through Chromium's own protocol), the maker without WebCodecs, and on a phone's screen with touch.
add_test(NAME web_site_update COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_browser_test.sh site_update)
foreach(scenario no_webcodecs offline phone)
  add_test(NAME web_maker_${scenario} COMMAND ${CMAKE_CURRENT_LIST_DIR}/maker_test.sh ${scenario})
endforeach()
set_tests_properties(web_site_update web_maker_no_webcodecs web_maker_offline web_maker_phone PROPERTIES
  SKIP_RETURN_CODE 77
  TIMEOUT 600
  ENVIRONMENT "WEB_BROWSER=chromium;SITE=${VELMORASTIK_WEB_SITE};NATIVE_CAPTURE=${VELMORASTIK_NATIVE_CAPTURE};NATIVE_DATA=${VELMORASTIK_NATIVE_DATA};NATIVE_SHOW_FRAMES=${VELMORASTIK_NATIVE_SHOW_FRAMES};NATIVE_IMPORT=${VELMORASTIK_NATIVE_IMPORT}")
set_tests_properties(web_maker_offline PROPERTIES RESOURCE_LOCK "${cores_lock}" COST ${both_cores_cost})

# The video's codec chosen by a trial encode: a Chromium whose H.264 encoder fails after saying it
# works makes the same show as VP9 in WebM.
if(VELMORASTIK_NODE)
  add_test(NAME web_video_vp9_by_trial COMMAND ${VELMORASTIK_NODE} ${CMAKE_CURRENT_LIST_DIR}/video_test.mjs vp9_by_trial)
  set_tests_properties(web_video_vp9_by_trial PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400
    ENVIRONMENT "WEB_BROWSER=chromium;SITE=${VELMORASTIK_WEB_SITE};NATIVE_CAPTURE=${VELMORASTIK_NATIVE_CAPTURE}"
    RESOURCE_LOCK ${browser_core_chromium} COST ${cores_cost})
endif()
