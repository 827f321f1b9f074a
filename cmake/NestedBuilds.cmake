# Images of both widths. Every build needs the 32-bit LegacyPurge.dll (the
# uninstallers embed it) and the language monitor of each width (the driver
# package carries both). A Windows build makes the images of its own width;
# the others come from a nested build of the other Windows configuration
# (build/<preset>/nested32 or nested64, CMake's ExternalProject), which
# makes just those targets.
#
#   KVL_IMAGES32_DIR, KVL_IMAGES64_DIR        where the images of each width are
#   KVL_IMAGES32_TARGETS, KVL_IMAGES64_TARGETS the targets that make them
include(ExternalProject)

function(kvl_nested_build name toolchain target)
  set(dir ${CMAKE_BINARY_DIR}/${name})
  set(byproducts)
  foreach(image ${ARGN})
    list(APPEND byproducts ${dir}/bin/${image})
  endforeach()
  set(build_targets)
  foreach(t ${KVL_NESTED_TARGETS_${target}})
    list(APPEND build_targets --target ${t})
  endforeach()
  ExternalProject_Add(${name}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain} -DKVL_TARGET=${target}
               -DKVL_NESTED=ON -DCMAKE_BUILD_TYPE=MinSizeRel
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> ${build_targets}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${byproducts})
endfunction()

set(KVL_NESTED_TARGETS_win32 LegacyPurge language_monitor)
set(KVL_NESTED_TARGETS_win64 language_monitor)

if(KVL_TARGET STREQUAL "win32")
  set(KVL_IMAGES32_DIR ${CMAKE_BINARY_DIR}/bin)
  set(KVL_IMAGES32_TARGETS ${KVL_NESTED_TARGETS_win32})
else()
  set(KVL_IMAGES32_DIR ${CMAKE_BINARY_DIR}/nested32/bin)
  set(KVL_IMAGES32_TARGETS nested32)
  kvl_nested_build(nested32 mingw-i686.cmake win32 LegacyPurge.dll qpaNLMNT.dll)
endif()

if(KVL_TARGET STREQUAL "win64")
  set(KVL_IMAGES64_DIR ${CMAKE_BINARY_DIR}/bin)
  set(KVL_IMAGES64_TARGETS ${KVL_NESTED_TARGETS_win64})
else()
  set(KVL_IMAGES64_DIR ${CMAKE_BINARY_DIR}/nested64/bin)
  set(KVL_IMAGES64_TARGETS nested64)
  kvl_nested_build(nested64 mingw-x86_64.cmake win64 qpaNLM64.dll)
endif()
