# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model,
# which std::thread and std::mutex need):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KL_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs run under wine here.
find_program(KL_WINE wine)
if(KL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KL_WINE})
endif()
