# cmake --build DIR --target uninstall: removes the files that the last install from the build
# tree wrote, where it wrote them, as RECORD lists them, and then the record, so that a second
# run removes nothing. No other file is touched, whatever DESTDIR or prefix is set now.
if(NOT EXISTS "${record}")
  message(FATAL_ERROR "nothing to remove: no install from this build tree is on record (${record})")
endif()
file(STRINGS "${record}" files)
foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing: ${file}")
    file(REMOVE "${file}")
  else()
    message(STATUS "Already gone: ${file}")
  endif()
endforeach()
file(REMOVE "${record}")
