# What ships beside the programs, and `cpack -G DEB`, which packs it all as one .deb the way
# Debian would: pages gzipped, the licence and changelog in the doc folder, binaries stripped,
# directories 0755 whatever the umask, and the same bytes from every build of one commit.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog names the version and the maintainer; the build must agree with it.
file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog changelog)
list(GET changelog 0 latest)
if(NOT latest MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "debian/changelog starts with '${latest}', not version ${PROJECT_VERSION}")
endif()
list(FILTER changelog INCLUDE REGEX "^ -- ")
list(GET changelog 0 signature)
string(REGEX REPLACE "^ -- (.*>)  .*" "\\1" maintainer "${signature}")

# gzip -9n: no name and no time stamp in the header, so the same page gives the same bytes.
find_program(GZIP gzip REQUIRED)
function(install_gzipped source name destination)
  set(copy ${PROJECT_BINARY_DIR}/gzipped/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${GZIP} -9nf ${copy}
    DEPENDS ${source} VERBATIM)
  add_custom_target(${name}.gz ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()
foreach(program IN LISTS PROBES)
  install_gzipped(${PROJECT_SOURCE_DIR}/${program}/${program}.1 ${program}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install_gzipped(${PROJECT_SOURCE_DIR}/debian/changelog changelog ${CMAKE_INSTALL_DOCDIR})

# The licence is written once, in LICENSE; the copyright file is its machine-readable form.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" terms "${licence}")
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${PROJECT_BINARY_DIR}/doc/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${maintainer}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
 ${terms}
")
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A stripped install (cpack, or `cmake --install --strip`) also drops what dh_strip drops.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program IN ITEMS ${PROBES})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_DESCRIPTION "Three console programs, each printing the result of one fixed
computation: divprobe asks for two integers and says whether the second is a
factor of the first; poleprobe prints the tangent of pi/2 in double and in
single precision; centsweep prints the multiples of 100 from 0 to 900.")
set(CPACK_PACKAGE_CONTACT "${maintainer}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROBES_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingRun.cmake)
include(CPack)
