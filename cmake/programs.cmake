# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# The programs: the one list, which CMakeLists.txt includes to build, install and test each. A
# program NAME is its folder, with NAME/NAME.cpp and its page NAME/NAME.1.
set(PROBES divprobe poleprobe centsweep)

# Run as a script, `cmake -P cmake/programs.cmake` prints them, one a line: so CI's scripts read
# the list as CMake reads it, whatever its layout.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  list(JOIN PROBES "\n" programs)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${programs}" COMMAND_ERROR_IS_FATAL ANY)
endif()
