# The three libraries carry the project's version in their file names and
# SONAMEs (libkcmb.so.1 -> libkcmb.so.1.0.0): a new major version is a new
# ABI. The namespaced aliases let a project that pulls this one in with
# add_subdirectory use the names an installed package gives.
set(kl_library_version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
foreach(library kcmb qrvx kl_ctrl)
  set_target_properties(${library} PROPERTIES VERSION ${kl_library_version} SOVERSION ${PROJECT_VERSION_MAJOR})
  add_library(${library}::${library} ALIAS ${library})
endforeach()

if(NOT KL_INSTALL)
  return()
endif()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Installed programs find the libraries through a path relative to their own
# folder, so an installed tree works under any prefix and when moved; libqrvx
# finds libkcmb beside itself. The program's loader in libkcmb looks for the
# optional libqrvx.so beside libkcmb by itself.
file(RELATIVE_PATH kl_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set(kl_programs kl_s kl_sim kl_poll kl_tdf)
set_target_properties(${kl_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/${kl_bin_to_lib}")
set_target_properties(qrvx PROPERTIES INSTALL_RPATH "$ORIGIN")
# The build tree uses the same relative paths, its programs being one folder
# below it as the installed ones are below the prefix: the libraries go to
# the build tree's own library folder. (A build path that CMake rewrites at
# install time would end with an empty entry, which searches the current
# folder.)
get_filename_component(kl_build_libdir "${CMAKE_BINARY_DIR}/tools/${kl_bin_to_lib}" ABSOLUTE)
set_target_properties(kcmb qrvx kl_ctrl PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${kl_build_libdir}")
set_target_properties(${kl_programs} qrvx PROPERTIES BUILD_WITH_INSTALL_RPATH ON)

install(TARGETS ${kl_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Each library's headers go to a folder of their own, which is the include
# directory its package gives: `#include <kcmb.h>`, `<qrvx.h>`, `<rangebar.h>`.
# kcmb.h (with the headers of include/kcmb/ it gathers) brings the platform
# headers of the handles, times and events its callers pass (and that a QRVX
# caller creates), under platform/, with the loader that finds libqrvx.so as
# the program does.
set(kl_platform_headers handle.h clock.h serial.h sync.h library.h)
list(TRANSFORM kl_platform_headers PREPEND platform/include/platform/)
set(kl_ctrl_headers rangebar.h label_cache.h range_format.h range_geometry.h range_model.h range_scene.h)
list(TRANSFORM kl_ctrl_headers PREPEND rangebar/)

# The exported headers lie flat beside kcmb.h, where they always have; the
# folder above is on the include path as well, so that their own
# `#include <kcmb/...>` finds them.
file(GLOB kl_kcmb_headers ${PROJECT_SOURCE_DIR}/include/kcmb/*.h)
install(FILES include/kcmb.h include/kcmb_c.h ${kl_kcmb_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kcmb)
target_include_directories(kcmb PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(FILES ${kl_platform_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kcmb/platform)
install(FILES altproto/qrvx.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qrvx)
install(FILES ${kl_ctrl_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kl_ctrl)

# One CMake package per library: find_package(kcmb), find_package(qrvx) (which
# brings kcmb), find_package(kl_ctrl) (which brings Qt 6 Widgets); targets
# kcmb::kcmb, qrvx::qrvx, kl_ctrl::kl_ctrl.
foreach(library kcmb qrvx kl_ctrl)
  set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${library})
  install(TARGETS ${library} EXPORT ${library}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${library})
  install(EXPORT ${library}Targets NAMESPACE ${library}:: DESTINATION ${config_dir})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${library}Config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/cmake/${library}Config.cmake
    INSTALL_DESTINATION ${config_dir})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/cmake/${library}ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/cmake/${library}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/cmake/${library}ConfigVersion.cmake
    DESTINATION ${config_dir})
endforeach()

# The desktop entry and the icon of kl_s.
add_subdirectory(packaging)

if(PROJECT_IS_TOP_LEVEL)
  include(${PROJECT_SOURCE_DIR}/cmake/Packaging.cmake)
endif()
