# Images of both widths. Every build needs the 32-bit LegacyPurge.dll (the
# uninstallers embed it) and the language monitor of each width (the driver
# package carries both). A Windows build makes the images of its own width;
# the others come from a nested build of the other Windows configuration
# (nested32 or nested64 in KVL_NESTED_ROOT, CMake's ExternalProject), which
# makes just those targets. The presets put both in build/, shared by every
# configuration (the same sources, compilers and flags give the same
# images), so a full build makes each once; a lock file beside each keeps
# two configurations from building it at the same moment.
#
#   KVL_IMAGES32_DIR, KVL_IMAGES64_DIR        where the images of each width are
#   KVL_IMAGES32_TARGETS, KVL_IMAGES64_TARGETS the targets that make them
include(ExternalProject)

set(KVL_NESTED_ROOT ${CMAKE_BINARY_DIR} CACHE PATH "Where the nested builds of the other widths live")
find_program(KVL_FLOCK flock)

function(kvl_nested_build name toolchain target)
  set(dir ${KVL_NESTED_ROOT}/${name})
  set(lock)
  if(KVL_FLOCK)
    set(lock ${KVL_FLOCK} ${dir}.lock)
  endif()
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
    CONFIGURE_COMMAND ${lock} ${CMAKE_COMMAND} -G Ninja -S <SOURCE_DIR> -B <BINARY_DIR>
                      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain} -DKVL_TARGET=${target}
                      -DKVL_NESTED=ON -DCMAKE_BUILD_TYPE=MinSizeRel
    BUILD_COMMAND ${lock} ${CMAKE_COMMAND} --build <BINARY_DIR> ${build_targets}
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
  set(KVL_IMAGES32_DIR ${KVL_NESTED_ROOT}/nested32/bin)
  set(KVL_IMAGES32_TARGETS nested32)
  kvl_nested_build(nested32 mingw-i686.cmake win32 LegacyPurge.dll qpaNLMNT.dll)
endif()

if(KVL_TARGET STREQUAL "win64")
  set(KVL_IMAGES64_DIR ${CMAKE_BINARY_DIR}/bin)
  set(KVL_IMAGES64_TARGETS ${KVL_NESTED_TARGETS_win64})
else()
  set(KVL_IMAGES64_DIR ${KVL_NESTED_ROOT}/nested64/bin)
  set(KVL_IMAGES64_TARGETS nested64)
  kvl_nested_build(nested64 mingw-x86_64.cmake win64 qpaNLM64.dll)
endif()
