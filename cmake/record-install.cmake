# Run by each install from the build tree: writes RECORD, the files this install wrote, one per
# line, as the system sees them (DESTDIR and all). INSTALLED lists them as the install rules name
# them, relative to the install prefix unless absolute. The paths are joined as text, not as a
# CMake list, so that any path survives, semicolons included.
set(text "")
foreach(file IN LISTS installed)
  if(NOT IS_ABSOLUTE "${file}")
    set(file "${CMAKE_INSTALL_PREFIX}/${file}")
  endif()
  string(APPEND text "$ENV{DESTDIR}${file}\n")
endforeach()
file(WRITE "${record}" "${text}")
