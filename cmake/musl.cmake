# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# Builds the set against Debian's musl (the package musl-dev) with Clang:
#   cmake -S . -B build-musl -DCMAKE_TOOLCHAIN_FILE=cmake/musl.cmake [-DPROBES_STATIC=ON]
# The C++ headers are libc++'s (clang's -stdlib=libc++; libstdc++'s are set up for glibc). The
# programs use only C stdio and the math library, so no C++ runtime is linked, and GCC's runtime
# library, which the compiler's own code may call, is linked statically.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
if(NOT CMAKE_CXX_COMPILER)
  set(CMAKE_CXX_COMPILER clang++)
endif()
set(CMAKE_CXX_COMPILER_TARGET x86_64-linux-musl)
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib++ -static-libgcc")

# Clang finds the C library, its start files and GCC's runtime under one root; Debian keeps
# musl's apart from glibc's. So the root is a folder of links to them, made in the build tree
# once and handed on to CMake's own test builds.
if(NOT PROBES_MUSL_SYSROOT)
  set(PROBES_MUSL_SYSROOT ${CMAKE_BINARY_DIR}/musl-sysroot)
  if(NOT EXISTS /usr/lib/x86_64-linux-musl/libc.a)
    message(FATAL_ERROR "musl is missing: apt-get install musl-dev")
  endif()
  file(MAKE_DIRECTORY ${PROBES_MUSL_SYSROOT}/usr/lib)
  file(CREATE_LINK /usr/include/x86_64-linux-musl ${PROBES_MUSL_SYSROOT}/usr/include SYMBOLIC)
  file(CREATE_LINK /usr/lib/gcc ${PROBES_MUSL_SYSROOT}/usr/lib/gcc SYMBOLIC)
  file(GLOB musl_files /usr/lib/x86_64-linux-musl/*)
  foreach(file IN LISTS musl_files)
    get_filename_component(name ${file} NAME)
    file(CREATE_LINK ${file} ${PROBES_MUSL_SYSROOT}/usr/lib/${name} SYMBOLIC)
  endforeach()
endif()
set(CMAKE_SYSROOT ${PROBES_MUSL_SYSROOT})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PROBES_MUSL_SYSROOT)
