# The Windows build (mingw-w64, cmake/mingw-w64-x86_64.cmake): kcmb.dll and
# qrvx.dll with their import libraries, kl_poll.exe and kl_tdf.exe, the
# compiler's runtime DLLs beside them, the tests that run under wine, and a
# zip of it all (cpack).
set_target_properties(kcmb qrvx PROPERTIES PREFIX "" IMPORT_PREFIX "")

# The tools take file names from their command lines in the ANSI code page,
# which the C runtime's file functions use too, while the suite's libraries
# take UTF-8: a manifest makes the code page UTF-8, so that a name in
# Cyrillic reaches both alike.
enable_language(RC)
target_sources(kl_poll PRIVATE ${PROJECT_SOURCE_DIR}/packaging/windows/utf8.rc)
target_sources(kl_tdf PRIVATE ${PROJECT_SOURCE_DIR}/packaging/windows/utf8.rc)

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

# The zip (cpack in the build folder): the DLLs, the programs and the runtime
# DLLs in bin/, the import libraries in lib/, the headers in include/, the C
# caller as an example and a short README.
include(GNUInstallDirs)
install(TARGETS kcmb qrvx kl_poll kl_tdf
  RUNTIME DESTINATION bin
  ARCHIVE DESTINATION lib)
install(FILES ${kl_runtime_dlls} DESTINATION bin)
install(FILES include/kcmb.h include/kcmb_c.h DESTINATION include/kcmb)
install(DIRECTORY include/kcmb DESTINATION include/kcmb)
install(FILES platform/include/platform/handle.h platform/include/platform/clock.h
  platform/include/platform/serial.h platform/include/platform/sync.h platform/include/platform/library.h
  DESTINATION include/kcmb/platform)
install(FILES altproto/qrvx.h DESTINATION include/qrvx)
install(FILES tests/windows/c_caller.c DESTINATION examples)
install(FILES packaging/windows-readme.txt DESTINATION . RENAME README.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kl-suite)
set(CPACK_PACKAGE_VENDOR OSTRELAN)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME kl-suite-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(BUILD_TESTING)
  add_subdirectory(tests/windows)
endif()
