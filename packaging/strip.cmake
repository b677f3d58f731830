# Run by CPack after it installed a package's files and before it packs them:
# strips the programs as Debian's dh_strip does, symbols and the .comment and
# .note sections (CPACK_STRIP_FILES keeps those).
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(path IN LISTS staged)
  if(IS_SYMLINK "${path}")
    continue()
  endif()
  file(READ "${path}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(
      COMMAND strip --remove-section=.comment --remove-section=.note "${path}"
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip failed on ${path}")
    endif()
  endif()
endforeach()
