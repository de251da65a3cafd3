# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# The slip the start-up bars must catch, for `bench/startup.sh --slip`: each program, and not the
# floor, loads one more library, libgcc_s, the cheapest to load of those a C++ program may pick
# up; named by file, as the g++ driver would drop a plain -l of ours for its own, as needed.
# Given as CMAKE_PROJECT_INCLUDE, this is read as project() ends, before the programs exist: the
# linking waits for the end of the top directory.
function(probes_one_more_library)
  foreach(program IN LISTS PROBES)
    target_link_libraries(${program} PRIVATE -Wl,--no-as-needed -l:libgcc_s.so.1 -Wl,--as-needed)
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL probes_one_more_library)
