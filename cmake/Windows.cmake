# The Windows build (mingw-w64, cmake/mingw-w64-x86_64.cmake): kcmb.dll and
# qrvx.dll with their import libraries, kl_poll.exe and kl_tdf.exe, the
# compiler's runtime DLLs beside them, the tests that run under wine, and a
# zip of it all (cpack).
set_target_properties(kcmb qrvx PROPERTIES PREFIX "" IMPORT_PREFIX "")

# The C++ runtime, libgcc and winpthread as DLLs beside the programs, so that
# the suite's DLLs and programs share one C++ runtime.
set(kl_runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE kl_dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${kl_dll_path}" OR NOT EXISTS "${kl_dll_path}")
    message(FATAL_ERROR "The compiler does not give ${dll} (Debian package g++-mingw-w64-x86-64-posix).")
  endif()
  list(APPEND kl_runtime_dlls "${kl_dll_path}")
endforeach()
file(COPY ${kl_runtime_dlls} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

if(BUILD_TESTING)
  add_subdirectory(tests/windows)
endif()
