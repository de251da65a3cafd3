# Read by cpack as it starts, before it packs anything.

# Time stamps in the package come from the last commit, unless the caller chose one: two
# builds of one commit then give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_PROBES_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND commit_time)
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()

# Depends is worked out by dpkg-shlibdeps, which needs file. Without either, cpack only says
# so in passing and makes a package that depends on nothing.
if(CPACK_GENERATOR STREQUAL "DEB")
  foreach(tool IN ITEMS dpkg-shlibdeps file)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
      message(FATAL_ERROR "cannot pack: ${tool} is missing (apt-get install dpkg-dev file)")
    endif()
  endforeach()
endif()
