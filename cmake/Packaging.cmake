# `cpack -G DEB` in the build folder: one Debian package with everything
# `cmake --install` puts in place, under /usr. Its dependencies come from
# dpkg-shlibdeps (package dpkg-dev), which names the Qt 6 and C++ runtime
# packages the programs and libraries are linked against.
set(KL_PACKAGE_MAINTAINER "OSTRELAN <support@ostrelan.invalid>"
  CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kl-suite)
set(CPACK_PACKAGE_VENDOR OSTRELAN)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator's program and libraries for digital infrared pyrometers")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/packaging/description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Qt's own Russian texts for the standard buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)

include(CPack)
