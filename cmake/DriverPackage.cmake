# The driver folders of the package, as the installer finds them beside it:
# build/<preset>/package/driver2k and driver64. The driver's files come from
# tests/data/package (placeholders with the names the installer and
# velkora.inf use); the language monitors are the real ones of the build,
# since the spooler loads them when the monitor is added.
file(GLOB_RECURSE KVL_DRIVER_DATA CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/package/*)
set(KVL_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
add_custom_command(OUTPUT ${KVL_PACKAGE_DIR}/driver2k/qpaNLMNT.dll ${KVL_PACKAGE_DIR}/driver64/qpaNLM64.dll
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${KVL_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/tests/data/package ${KVL_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${KVL_IMAGES32_DIR}/qpaNLMNT.dll ${KVL_PACKAGE_DIR}/driver2k/qpaNLMNT.dll
  COMMAND ${CMAKE_COMMAND} -E copy ${KVL_IMAGES64_DIR}/qpaNLM64.dll ${KVL_PACKAGE_DIR}/driver64/qpaNLM64.dll
  DEPENDS ${KVL_DRIVER_DATA} ${KVL_IMAGES32_DIR}/qpaNLMNT.dll ${KVL_IMAGES64_DIR}/qpaNLM64.dll VERBATIM)
add_custom_target(driver_package ALL
  DEPENDS ${KVL_PACKAGE_DIR}/driver2k/qpaNLMNT.dll ${KVL_PACKAGE_DIR}/driver64/qpaNLM64.dll)
add_dependencies(driver_package ${KVL_IMAGES32_TARGETS} ${KVL_IMAGES64_TARGETS})
if(TARGET winsim-tool)
  add_dependencies(winsim-tool driver_package)
endif()
