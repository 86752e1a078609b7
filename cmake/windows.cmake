# What the Windows build finds and makes for itself, included by the top-level CMakeLists.txt.

# libmpg123 from the deps folder, as a DLL (its licence, the LGPL, lets a user replace it): the
# Windows sound decodes the soundtrack with it. The programs link its import library; the DLL is
# copied beside them in bin/, where Windows looks first, for the programs and the tests alike.
find_path(MPG123_INCLUDE_DIR mpg123.h REQUIRED)
find_library(MPG123_IMPORT_LIBRARY NAMES libmpg123.dll.a REQUIRED)
find_file(MPG123_DLL libmpg123-0.dll PATHS ${VELMORASTIK_WINDOWS_DEPS}/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(MPG123::MPG123 SHARED IMPORTED GLOBAL)
set_target_properties(MPG123::MPG123 PROPERTIES
  IMPORTED_IMPLIB ${MPG123_IMPORT_LIBRARY}
  IMPORTED_LOCATION ${MPG123_DLL}
  INTERFACE_INCLUDE_DIRECTORIES ${MPG123_INCLUDE_DIR})
get_filename_component(mpg123_dll_name ${MPG123_DLL} NAME)
configure_file(${MPG123_DLL} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${mpg123_dll_name} COPYONLY)

# The programs' icon and version (packaging/windows/program.rc.in).
enable_language(RC)

# The data set is drawn by the generator of a native build (scripts/windows makes one): the
# Windows build has no LAME, and the set is the same bytes on both. The native build's own drawing
# of it is copied, and its generator draws the tests' sets.
set(VELMORASTIK_NATIVE_DEMO_DATA "" CACHE FILEPATH "The native build's velmorastik-demo-data")
set(VELMORASTIK_NATIVE_DATA_SET "" CACHE PATH "The folder holding the native build's data/")

# Wine runs the test programs, in a prefix of the build's own (never ~/.wine).
find_program(VELMORASTIK_WINE wine)
set(VELMORASTIK_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
