# Cross-building for 64-bit Windows with Debian's mingw-w64 (the POSIX thread model, for
# std::thread), every program linked statically so that it needs only Windows' own DLLs and
# libmpg123's, shipped beside it (cmake/windows.cmake).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# VELMORASTIK_WINDOWS_DEPS is the folder scripts/windows-deps fills with the Windows builds of
# libjpeg-turbo and libmpg123 (default: deps/ in the build folder).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

if(NOT DEFINED VELMORASTIK_WINDOWS_DEPS)
  set(VELMORASTIK_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/deps)
endif()
# try_compile projects read this file again from a folder of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORASTIK_WINDOWS_DEPS)

# Libraries and headers come from mingw-w64 and the deps folder only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${VELMORASTIK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
