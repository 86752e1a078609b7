# The web build's tests: the portable unit tests compiled to WebAssembly, run under Node
# (CMAKE_CROSSCOMPILING_EMULATOR) with the host's files in reach. Included by tests/CMakeLists.txt.
target_link_options(velmorastik-tests PRIVATE -sNODERAWFS=1 -sEXIT_RUNTIME=1)
gtest_discover_tests(velmorastik-tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
