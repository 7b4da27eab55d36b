# The default environment of the Windows build. Its textures and star data
# file are made by texgen and starconv, which are Linux programs, so this
# build takes them from a Linux build folder's data/default
# (ENVSYS_DEFAULT_ENVIRONMENT_DIR) and the Environment File and materials
# from the sources, and assembles them next to its own programs, where the
# tests, envcheck and the package find them.
set(ENVSYS_DEFAULT_ENVIRONMENT_DIR "" CACHE PATH
  "data/default of a Linux build folder, with its generated textures and stars.dat")
if(NOT ENVSYS_DEFAULT_ENVIRONMENT_DIR)
  return()
endif()
if(NOT EXISTS ${ENVSYS_DEFAULT_ENVIRONMENT_DIR}/stars.dat OR NOT IS_DIRECTORY ${ENVSYS_DEFAULT_ENVIRONMENT_DIR}/textures)
  message(FATAL_ERROR "${ENVSYS_DEFAULT_ENVIRONMENT_DIR} holds no assembled default environment "
                      "(stars.dat, textures/): build the target default_environment in a Linux build folder first")
endif()

set(ENVSYS_DEFAULT_OUT ${PROJECT_BINARY_DIR}/data/default)
file(GLOB ENVSYS_DEFAULT_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/default/*.ini)
add_custom_target(default_environment ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ENVSYS_DEFAULT_ENVIRONMENT_DIR}/textures ${ENVSYS_DEFAULT_OUT}/textures
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ENVSYS_DEFAULT_ENVIRONMENT_DIR}/stars.dat ${ENVSYS_DEFAULT_FILES}
          ${ENVSYS_DEFAULT_OUT}
  COMMENT "Assembling the default environment from ${ENVSYS_DEFAULT_ENVIRONMENT_DIR}")
if(TARGET envsys_tests)
  add_dependencies(envsys_tests default_environment)
endif()
