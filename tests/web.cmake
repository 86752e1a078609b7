# The web build's tests: the portable unit tests compiled to WebAssembly, run under Node
# (CMAKE_CROSSCOMPILING_EMULATOR) with the host's files in reach. Included by tests/CMakeLists.txt.
target_link_options(velmorastik-tests PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1)
gtest_discover_tests(velmorastik-tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT ${velmorastik_test_timeout})

# The web platform itself in test mode, with a stand-in for the page's canvas.
add_executable(velmorastik-web-platform-tests platform/web/web_platform_test.cpp)
target_link_libraries(velmorastik-web-platform-tests PRIVATE
  velmorastik_platform_web velmorastik_fatal GTest::gtest GTest::gtest_main)
target_link_options(velmorastik-web-platform-tests PRIVATE -sEXIT_RUNTIME=1)
gtest_discover_tests(velmorastik-web-platform-tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT ${velmorastik_test_timeout})

# The site in a real Chromium.
include(web/web.cmake)
