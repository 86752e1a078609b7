# The plain definition of the show's frames (oracle_frame.h), which the unit tests, the end-to-end
# tests and the benchmarks hold the show's frame path to, and the whole show rendered with it: the
# yardstick of bench/show_speed.sh and what the end-to-end tests compare the capture tool's frames
# with. Included from tests/ and bench/, defined once.
include_guard(GLOBAL)
add_library(velmorastik_oracle STATIC ${CMAKE_CURRENT_LIST_DIR}/oracle_frame.cpp)
target_include_directories(velmorastik_oracle PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(velmorastik_oracle PUBLIC velmorastik_fx)

if(WIN32 OR EMSCRIPTEN)
  return()
endif()
# The programs build the definition from source themselves, so that the scalar one is scalar
# throughout.
set(reference_sources ${CMAKE_CURRENT_LIST_DIR}/reference_show.cpp ${CMAKE_CURRENT_LIST_DIR}/oracle_frame.cpp)
# Plain scalar source with no hand-written vector code, built as the project builds: the compiler
# vectorises what it can on its own.
add_executable(velmorastik-reference-show ${reference_sources})
# The same source with no vectorisation at all, the strictest yardstick.
add_executable(velmorastik-reference-show-scalar ${reference_sources})
target_compile_options(velmorastik-reference-show-scalar PRIVATE -fno-tree-vectorize)
foreach(program velmorastik-reference-show velmorastik-reference-show-scalar)
  target_include_directories(${program} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(${program} PRIVATE velmorastik_image velmorastik_show velmorastik_platform_headless)
endforeach()
