# What `cmake --install` puts under the prefix, for host developers:
#   include/envsys/             the host-facing headers
#   lib/envsys/                 EnvironmentSystem.so
#   bin/                        envhost, envcheck, starconv
#   share/envsys/default/       the default environment (file, materials, textures, stars)
#   share/envsys/preview/       the page of `envhost serve`, when the host has one
#   share/doc/envsys/           README.md, docs/, examples/minimal-host/, the star
#                               catalogue's provenance
#   lib/cmake/EnvironmentSystem/ and lib/pkgconfig/envsys-sdk.pc
# The module goes into a folder of its own below libdir rather than libdir
# itself: it is a plug-in that hosts open by path, not a library to link
# against, so it stays out of the linker's and ldconfig's search path (and it
# has no "lib" prefix). On Windows it sits next to the executables, where
# LoadLibrary looks first.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(ENVSYS_INSTALL_MODULE_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(ENVSYS_INSTALL_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/envsys)
endif()
set(ENVSYS_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/envsys)
set(ENVSYS_INSTALL_DEFAULT_DIR ${ENVSYS_INSTALL_DATA_DIR}/default)
set(ENVSYS_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/envsys)
set(ENVSYS_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/EnvironmentSystem)
set(ENVSYS_MODULE_NAME EnvironmentSystem${CMAKE_SHARED_MODULE_SUFFIX})

# The headers as an interface target: EnvironmentSystem::SDK once installed.
add_library(envsys_sdk INTERFACE)
target_include_directories(envsys_sdk INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(envsys_sdk INTERFACE cxx_std_17)
set_target_properties(envsys_sdk PROPERTIES EXPORT_NAME SDK)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/envsys DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(TARGETS EnvironmentSystem
  LIBRARY DESTINATION ${ENVSYS_INSTALL_MODULE_DIR}
  RUNTIME DESTINATION ${ENVSYS_INSTALL_MODULE_DIR})
install(TARGETS envsys_sdk EXPORT EnvironmentSystemTargets)

foreach(tool envhost envcheck starconv)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# envhost finds the module and the data relative to its own folder, so the
# paths from bin/ to them are built in.
if(TARGET envhost_core)
  file(RELATIVE_PATH ENVSYS_BIN_TO_MODULE_DIR /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${ENVSYS_INSTALL_MODULE_DIR})
  file(RELATIVE_PATH ENVSYS_BIN_TO_DATA_DIR /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${ENVSYS_INSTALL_DATA_DIR})
  set(ENVSYS_LAYOUT_DEFINITIONS
    ENVSYS_BIN_TO_MODULE_DIR="${ENVSYS_BIN_TO_MODULE_DIR}" ENVSYS_BIN_TO_DATA_DIR="${ENVSYS_BIN_TO_DATA_DIR}")
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/host/InstallLayout.cpp DIRECTORY ${PROJECT_SOURCE_DIR}/host
    APPEND PROPERTY COMPILE_DEFINITIONS ${ENVSYS_LAYOUT_DEFINITIONS})
  if(TARGET envsys_tests)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/tests/host/InstallLayoutTest.cpp
      APPEND PROPERTY COMPILE_DEFINITIONS ${ENVSYS_LAYOUT_DEFINITIONS})
  endif()
endif()

# The default environment as the build assembles it (tools/CMakeLists.txt),
# and the preview page the build copies next to it.
if(TARGET default_environment)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/data/default/ DESTINATION ${ENVSYS_INSTALL_DEFAULT_DIR}
    PATTERN ".generated" EXCLUDE)
endif()
if(TARGET envhost AND EXISTS ${PROJECT_SOURCE_DIR}/host/preview)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/preview/ DESTINATION ${ENVSYS_INSTALL_DATA_DIR}/preview OPTIONAL)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${ENVSYS_INSTALL_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${ENVSYS_INSTALL_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/catalog/README.md DESTINATION ${ENVSYS_INSTALL_DOC_DIR}
  RENAME star-catalog.md)
# The example host to copy; README's and the guide's links reach it here too.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/minimal-host DESTINATION ${ENVSYS_INSTALL_DOC_DIR}/examples
  PATTERN "build" EXCLUDE)

# find_package(EnvironmentSystem): the target, the module's path and the
# default environment's folder, all relative to wherever the prefix lands.
set(ENVSYS_INSTALL_MODULE ${ENVSYS_INSTALL_MODULE_DIR}/${ENVSYS_MODULE_NAME})
install(EXPORT EnvironmentSystemTargets NAMESPACE EnvironmentSystem:: DESTINATION ${ENVSYS_INSTALL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/EnvironmentSystemConfig.cmake.in
  ${PROJECT_BINARY_DIR}/EnvironmentSystemConfig.cmake
  INSTALL_DESTINATION ${ENVSYS_INSTALL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR ENVSYS_INSTALL_MODULE ENVSYS_INSTALL_DEFAULT_DIR)
# The module is built for one pointer size, so the version file keeps its
# check of CMAKE_SIZEOF_VOID_P.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/EnvironmentSystemConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/EnvironmentSystemConfig.cmake
  ${PROJECT_BINARY_DIR}/EnvironmentSystemConfigVersion.cmake DESTINATION ${ENVSYS_INSTALL_CMAKE_DIR})

# pkg-config: written at install time, so that the prefix in it is the one
# installed into (`cmake --install --prefix`, or /usr inside a package).
install(CODE "
  set(ENVSYS_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(ENVSYS_INSTALL_MODULE \"${ENVSYS_INSTALL_MODULE}\")
  set(ENVSYS_INSTALL_DEFAULT_DIR \"${ENVSYS_INSTALL_DEFAULT_DIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/envsys-sdk.pc.in\" \"${PROJECT_BINARY_DIR}/envsys-sdk.pc\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/envsys-sdk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
