# Every test ends in a time that fits it, so that a hang fails in minutes by the test's name
# instead of holding the run for ever (tests/check_timeouts.cmake checks that none is left out).
# The times are several times what each takes on a busy two-core machine, sanitized builds too.
# Included first by tests/CMakeLists.txt.

# One unit test case, or a check: well under a few seconds each, even a Wine program's start.
set(velmorastik_test_timeout 60)
# A suite of tool runs on real files, each case seconds.
set(velmorastik_tool_test_timeout 180)
# A case that runs the whole show or a data set's drawing several times: up to a minute each.
set(velmorastik_show_test_timeout 600)
# A whole test program in one process, as the sanitized build runs them.
set(velmorastik_program_test_timeout 1200)

# Gives each test of this folder that has no TIMEOUT the default; called once all are added.
function(velmorastik_default_timeouts)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    get_test_property(${test} TIMEOUT timeout)
    if(NOT timeout)
      set_tests_properties(${test} PROPERTIES TIMEOUT ${velmorastik_test_timeout})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL velmorastik_default_timeouts)
