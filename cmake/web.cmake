# The web build (emcmake, Debian's Emscripten): the show for the browser, the page's maker and the
# portable tests, run under Node. No SDL, FFmpeg or libpng there; libjpeg-turbo, LAME (the
# maker's MP3 encoder) and libheif, libde265 and lcms2 (its HEIC decoder) come from scripts/web-deps.
#   emcmake cmake -S . -B build-web -DVELMORASTIK_WEB_DEPS=build-web/deps
set(VELMORASTIK_WEB_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "Where scripts/web-deps put the libraries it builds")
set(JPEG_INCLUDE_DIR ${VELMORASTIK_WEB_DEPS}/include CACHE PATH "" FORCE)
set(JPEG_LIBRARY ${VELMORASTIK_WEB_DEPS}/lib/libjpeg.a CACHE FILEPATH "" FORCE)
# Named as the native build links it (-lmp3lame), so that the MP3 writer's own link line holds.
add_library(mp3lame STATIC IMPORTED GLOBAL)
set_target_properties(mp3lame PROPERTIES
  IMPORTED_LOCATION ${VELMORASTIK_WEB_DEPS}/lib/libmp3lame.a
  INTERFACE_INCLUDE_DIRECTORIES ${VELMORASTIK_WEB_DEPS}/include)

# C++ exceptions are off by default in WebAssembly; the tests and the standard library's own
# failures want them.
add_compile_options(-fexceptions)
# WebAssembly's 128-bit SIMD, which every current browser and Node run: the fade's wide variant.
add_compile_options(-msimd128)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1)

# Node runs the test programs, with the host's files in reach (NODERAWFS) and without the built-in
# fetch that Emscripten 3.1.6's loader mistakes for a browser's.
find_program(VELMORASTIK_NODE node REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORASTIK_NODE};--no-experimental-fetch)
