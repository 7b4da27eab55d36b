# Packages of an installed tree (cmake/Install.cmake): `cpack -G "DEB;TGZ"`
# in a Linux build folder makes envsys_<version>_<arch>.deb and
# envsys-<version>-Linux-<arch>.tar.gz. The Windows build adds its ZIP
# generator here; the settings below are common to every package.
set(CPACK_PACKAGE_NAME envsys)
set(CPACK_PACKAGE_VENDOR "EnvironmentSystem")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Environment plug-in for 3D hosts: sky, sun, stars, clouds, light, fog, wind and atmosphere")
set(CPACK_PACKAGE_DESCRIPTION
  "EnvironmentSystem is a plug-in module a 3D host loads at run time. The package holds the module, \
the host-facing headers with a CMake package and a pkg-config file, the default environment, the \
reference host envhost, the checker envcheck, the star catalogue converter starconv and the documentation.")
set(CPACK_PACKAGE_CONTACT "EnvironmentSystem maintainers")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(ENVSYS_PACKAGE_ARCH x86_64)
else()
  set(ENVSYS_PACKAGE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${ENVSYS_PACKAGE_ARCH})

if(NOT WIN32)
  set(CPACK_GENERATOR "DEB;TGZ")
  # Debian's own file name: envsys_<version>_<architecture>.deb.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The .deb installs under /usr (CPack's default for it); the archive holds
  # the tree relative to its top folder.
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # The run-time libraries of envhost and the tools (libpng, the C++ runtime)
  # are found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # The 32-bit Windows build: envsys-<version>-Windows-i686.zip, the same
  # tree with the module and envcheck.exe side by side in bin/.
  set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
