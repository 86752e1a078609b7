# The plain renderer of the whole show: the yardstick of bench/show_speed.sh and what the tests
# compare the capture tool's frames with. Included from bench/ and tests/, defined once.
include_guard(GLOBAL)
set(reference_sources ${CMAKE_CURRENT_LIST_DIR}/reference/main.cpp ${CMAKE_CURRENT_LIST_DIR}/reference/plain_frame.cpp)
# Plain scalar source with no hand-written vector code, built as the project builds: the compiler
# vectorises what it can on its own.
add_executable(velmorastik-reference-show ${reference_sources})
# The same source with no vectorisation at all, the strictest yardstick.
add_executable(velmorastik-reference-show-scalar ${reference_sources})
target_compile_options(velmorastik-reference-show-scalar PRIVATE -fno-tree-vectorize)
foreach(program velmorastik-reference-show velmorastik-reference-show-scalar)
  target_include_directories(${program} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/reference)
  target_link_libraries(${program} PRIVATE velmorastik_image velmorastik_show velmorastik_platform_headless)
endforeach()
