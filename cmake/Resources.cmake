# Resource scripts are compiled by MinGW's windres in all three builds. The
# Windows builds link the COFF object; the sim build embeds the binary .res so
# that the simulated FindResource, LoadString and dialog creation read the very
# same templates.
if(NOT KVL_WINDRES)
  find_program(KVL_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres REQUIRED)
endif()

function(kvl_add_resources target rc)
  get_filename_component(rc_abs ${rc} ABSOLUTE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  get_filename_component(rc_name ${rc_abs} NAME_WE)
  set(base ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name})
  # KVL_RC_INCLUDES: further folders of files the script embeds.
  set(flags -I${rc_dir} -I${CMAKE_BINARY_DIR}/bin ${KVL_RC_INCLUDES} --codepage=1252)
  if(KVL_TARGET STREQUAL "sim")
    add_custom_command(OUTPUT ${base}.res
      COMMAND ${KVL_WINDRES} ${flags} -O res -i ${rc_abs} -o ${base}.res
      DEPENDS ${rc_abs} ${ARGN} VERBATIM)
    add_custom_command(OUTPUT ${base}_res.cpp
      COMMAND ${CMAKE_COMMAND} -DIN=${base}.res -DOUT=${base}_res.cpp
              -P ${PROJECT_SOURCE_DIR}/cmake/EmbedRes.cmake
      DEPENDS ${base}.res ${PROJECT_SOURCE_DIR}/cmake/EmbedRes.cmake VERBATIM)
    target_sources(${target} PRIVATE ${base}_res.cpp)
  else()
    add_custom_command(OUTPUT ${base}_res.o
      COMMAND ${KVL_WINDRES} ${flags} -O coff -i ${rc_abs} -o ${base}_res.o
      DEPENDS ${rc_abs} ${ARGN} VERBATIM)
    target_sources(${target} PRIVATE ${base}_res.o)
  endif()
endfunction()

# Windows GUI program: subsystem windows, a subsystem version old Windows
# accepts, terminal-server aware, and static run-times.
function(kvl_windows_program target)
  if(KVL_TARGET STREQUAL "sim")
    target_link_libraries(${target} PRIVATE winsim_main)
  else()
    # Terminal-server aware: on a Terminal Server host Windows would give a
    # program without the flag a private Windows directory per user.
    target_link_options(${target} PRIVATE -mwindows -Wl,--tsaware
      -Wl,--major-subsystem-version,${KVL_SUBSYSTEM_MAJOR}
      -Wl,--minor-subsystem-version,${KVL_SUBSYSTEM_MINOR}
      -Wl,--major-os-version,${KVL_SUBSYSTEM_MAJOR}
      -Wl,--minor-os-version,${KVL_SUBSYSTEM_MINOR})
  endif()
endfunction()

if(KVL_SUBSYSTEM_VERSION)
  string(REPLACE "." ";" _v ${KVL_SUBSYSTEM_VERSION})
  list(GET _v 0 KVL_SUBSYSTEM_MAJOR)
  list(GET _v 1 KVL_SUBSYSTEM_MINOR)
endif()
