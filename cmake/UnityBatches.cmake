# kvl_unity_batches(TARGET ROOT MOST SOURCES...): TARGET compiled in unity
# batches, so that the headers, inline code and templates its files share
# are compiled once a batch. The batches are the files of one folder under
# ROOT, split evenly into batches of at most MOST files, so that a change to
# one file recompiles only its batch and the batches keep both cores busy. A
# batch never spans folders; names local to one file (anonymous namespace,
# static, macro) must differ within a folder.
function(kvl_unity_batches target root most)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
  foreach(pass count assign)
    foreach(src IN LISTS ARGN)
      get_filename_component(dir ${src} DIRECTORY)
      file(RELATIVE_PATH dir ${root} ${dir})
      string(MAKE_C_IDENTIFIER "${target}_${dir}" folder)
      if(pass STREQUAL "count")
        if(NOT DEFINED files_${folder})
          set(files_${folder} 0)
          set(seen_${folder} 0)
        endif()
        math(EXPR files_${folder} "${files_${folder}} + 1")
      else()
        math(EXPR batches "(${files_${folder}} + ${most} - 1) / ${most}")
        math(EXPR batch "${seen_${folder}} * ${batches} / ${files_${folder}}")
        math(EXPR seen_${folder} "${seen_${folder}} + 1")
        set_source_files_properties(${src} PROPERTIES UNITY_GROUP ${folder}_${batch})
      endif()
    endforeach()
  endforeach()
endfunction()
