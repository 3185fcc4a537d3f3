# Run by cpack once the package's files are staged: strips every ELF file the way
# Debian's packaging does, the debugging symbols and the .comment and .note
# sections (which only name the compiler and would make lintian report
# binary-has-unneeded-section); shared objects, the program's private modules
# included, keep only the symbols needed for linking.
if(NOT CPACK_STRIP_COMMAND)
  message(FATAL_ERROR "strip.cmake: CPACK_STRIP_COMMAND is not set")
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  set(how)
  if(file MATCHES "\\.so(\\.[0-9]+)*$")
    set(how --strip-unneeded)
  endif()
  execute_process(COMMAND "${CPACK_STRIP_COMMAND}" --remove-section=.comment
                          --remove-section=.note ${how} "${file}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip.cmake: cannot strip ${file}")
  endif()
  message(STATUS "strip.cmake: stripped ${file}")
endforeach()
