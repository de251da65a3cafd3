# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# The record of what installs from a build tree wrote, which `cmake --build DIR --target uninstall`
# removes. Each install adds to it the files it wrote, one line each: the file's SHA-256 as
# installed, a space, and the file's real path: DESTDIR and all, relative paths taken from the
# directory the install ran in, every symbolic link and .. resolved as the system resolved them to
# write it. So one file is one entry, however an install spelled its path. The removal takes each
# file that still holds what the install wrote, and nothing else; the record, and its lock, go only
# once no file it lists is left. Lines, not CMake lists, so that every path survives: [, ], *, ;
# and spaces included; not a line end, which the install refuses.
#
# ACTION is one of:
#   begin   from an install, ahead of its first file: FILES are every file it will write, as its
#           install rules name them (relative to the install prefix unless absolute). It checks
#           the record and those paths, and locks the record for the rest of the install, so that
#           an install refused writes nothing.
#   record  from an install, once INSTALLED (one of FILES) is written: puts it on record.
#   remove  from the uninstall target.
# The record is the file that the environment variable PROBES_INSTALL_RECORD names, if set, or
# else DEFAULT_RECORD; a file beside it, the record's name and .lock, is its lock.
#
# The install runs every piece of install code in one scope, so what begin reads and sets stays
# for each record that follows. Trusted as the install trusts them: the folders on the way to each
# file. Whoever may change one of those could have sent the install's files elsewhere as well.
cmake_policy(VERSION 3.25)

# Stops the install or removal with MESSAGE. A lock without a record is taken away with it.
function(refuse message)
  if(record_locked AND NOT (EXISTS "${record}" AND NOT IS_DIRECTORY "${record}"))
    file(REMOVE "${lock}")
  endif()
  message(FATAL_ERROR "${message}")
endfunction()

# Sets PREFIX_count, and PREFIX_0, PREFIX_1 ... to each line of TEXT, in the caller's scope.
function(split_lines prefix text)
  set(count 0)
  while(NOT text STREQUAL "")
    string(FIND "${text}" "\n" end)
    if(end EQUAL -1)
      set(line "${text}")
      set(text "")
    else()
      string(SUBSTRING "${text}" 0 ${end} line)
      math(EXPR end "${end} + 1")
      string(SUBSTRING "${text}" ${end} -1 text)
    endif()
    set(${prefix}_${count} "${line}" PARENT_SCOPE)
    math(EXPR count "${count} + 1")
  endwhile()
  set(${prefix}_count ${count} PARENT_SCOPE)
endfunction()

# Reads the record as it stands into entry_N_hash and entry_N_path for each N below entry_count,
# or refuses one that is no record. Read before the lock is taken too, to refuse at once without
# making a lock: the record is only ever replaced whole, so a reader sees it before a change or
# after it.
macro(read_record)
  set(entry_count 0)
  if(IS_DIRECTORY "${record}")
    refuse("the install record ${record} is a folder")
  elseif(EXISTS "${record}")
    file(READ "${record}" text)
    split_lines(entry "${text}")
  endif()
  set(n 0)
  while(n LESS entry_count)
    if(NOT entry_${n} MATCHES "^[0-9a-f]+ /")
      refuse("the install record ${record} is damaged: ${entry_${n}}")
    endif()
    string(REGEX REPLACE " .*" "" entry_${n}_hash "${entry_${n}}")
    string(REGEX REPLACE "^[0-9a-f]+ " "" entry_${n}_path "${entry_${n}}")
    math(EXPR n "${n} + 1")
  endwhile()
endmacro()

# Writes the entries whose path is not cleared, or removes the record and its lock if none is left.
# A new record takes the old one's place at once, so that no failure can leave it half written.
function(write_record)
  set(text "")
  set(n 0)
  while(n LESS entry_count)
    if(NOT entry_${n}_path STREQUAL "")
      string(APPEND text "${entry_${n}_hash} ${entry_${n}_path}\n")
    endif()
    math(EXPR n "${n} + 1")
  endwhile()
  if(text STREQUAL "")
    file(REMOVE "${record}" "${lock}")
  else()
    file(WRITE "${record}.new" "${text}")
    file(RENAME "${record}.new" "${record}")
  endif()
endfunction()

# Sets VAR to where the install puts INSTALLED, as CMake finds it: a relative prefix taken from the
# directory the install runs in, DESTDIR put before it as text, and taken from there too if
# relative; .. and symbolic links are left for the system to follow (and real_path, once the file
# is there). CMake's IS_ABSOLUTE, ABSOLUTE and REAL_PATH would read a leading ~ as a home, or ..
# as text.
function(destination var installed)
  set(file "${installed}")
  if(NOT file MATCHES "^/")
    set(file "${CMAKE_INSTALL_PREFIX}/${file}")
  endif()
  if(NOT file MATCHES "^/")
    set(file "${CMAKE_CURRENT_BINARY_DIR}/${file}")
  endif()
  set(file "$ENV{DESTDIR}${file}")
  if(NOT file MATCHES "^/")
    set(file "${CMAKE_CURRENT_BINARY_DIR}/${file}")
  endif()
  set(${var} "${file}" PARENT_SCOPE)
endfunction()

# Sets VAR to the real path of the existing file PATH (absolute): each symbolic link on the way
# followed, and each .. taken from where the system is by then, as the system does.
function(real_path var path)
  set(real "")
  set(rest "${path}")
  set(links 0)
  while(NOT rest STREQUAL "")
    string(REGEX REPLACE "^/+" "" rest "${rest}")
    string(FIND "${rest}" "/" end)
    if(end EQUAL -1)
      set(part "${rest}")
      set(rest "")
    else()
      string(SUBSTRING "${rest}" 0 ${end} part)
      string(SUBSTRING "${rest}" ${end} -1 rest)
    endif()
    if(part STREQUAL "" OR part STREQUAL ".")
    elseif(part STREQUAL "..")
      string(REGEX REPLACE "/[^/]*$" "" real "${real}")
    elseif(IS_SYMLINK "${real}/${part}")
      math(EXPR links "${links} + 1")
      if(links GREATER 40)
        message(FATAL_ERROR "too many symbolic links in ${path}")
      endif()
      file(READ_SYMLINK "${real}/${part}" target)
      if(target MATCHES "^/")
        set(real "")
      endif()
      set(rest "${target}/${rest}")
    else()
      string(APPEND real "/${part}")
    endif()
  endwhile()
  set(${var} "${real}" PARENT_SCOPE)
endfunction()

if(action STREQUAL "begin" OR action STREQUAL "remove")
  set(record_locked FALSE)
  set(record "${default_record}")
  if(DEFINED ENV{PROBES_INSTALL_RECORD})
    set(record "$ENV{PROBES_INSTALL_RECORD}")
  endif()
  set(lock "${record}.lock")
  if(NOT record MATCHES "^/")
    refuse("the install record must be an absolute path, not ${record}")
  endif()
  # Taking a lock makes every folder on its way: none is made here.
  string(REGEX REPLACE "/[^/]*$" "" folder "${record}")
  if(NOT folder STREQUAL "" AND NOT IS_DIRECTORY "${folder}")
    refuse("the install record's folder ${folder} is not there")
  endif()
  if(IS_DIRECTORY "${lock}")
    refuse("cannot lock the install record: ${lock} is a folder")
  endif()
  read_record()
  if(action STREQUAL "begin")
    foreach(installed IN LISTS files)
      destination(file "${installed}")
      if(file MATCHES "\n")
        refuse("cannot install to a path with a line end in it: ${file}")
      endif()
    endforeach()
  endif()

  # One install or removal at a time, held until the process ends: an install takes it ahead of
  # its first file and keeps it to its last. One that must wait says so, once.
  set(waiting FALSE)
  while(NOT record_locked)
    file(LOCK "${lock}" GUARD PROCESS TIMEOUT 0 RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      if(NOT waiting)
        message(STATUS "Waiting for another install or removal to let go of ${lock}")
        set(waiting TRUE)
      endif()
      file(LOCK "${lock}" GUARD PROCESS RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        refuse("cannot lock the install record ${lock}: ${result}")
      endif()
    endif()
    # The removal that empties the record removes the lock as well, and one that waited for it
    # then holds the lock of a file that is gone, while a newcomer may hold a new one. The lock
    # counts only if it is the file that now stands at its path: locked again under another name
    # of that path, it is ours at once, as locks belong to a process; a file someone else holds
    # refuses, and we start over. Where /proc is not mounted, only a lock that is gone is seen.
    if(NOT EXISTS "${lock}")
      file(LOCK "${lock}" RELEASE)
    elseif(IS_DIRECTORY /proc/self/root)
      file(LOCK "/proc/self/root${lock}" GUARD PROCESS TIMEOUT 0 RESULT_VARIABLE result)
      if(result EQUAL 0)
        set(record_locked TRUE)
      else()
        file(LOCK "${lock}" RELEASE)
        message(STATUS "${lock} was made anew meanwhile: waiting for its holder")
      endif()
    else()
      set(record_locked TRUE)
    endif()
  endwhile()
  read_record()
endif()

if(action STREQUAL "begin")
  # Each file goes on record as write_record writes it: a new record beside the old, put in its
  # place. Tried now, before the first file, so that an install that could not record its files
  # writes none: a folder the installer may not write, an old record it may not replace (another
  # user's, in a sticky folder). A record not there yet is made and taken away again.
  if(EXISTS "${record}")
    file(COPY_FILE "${record}" "${record}.new" RESULT result)
  else()
    file(COPY_FILE "${lock}" "${record}.new" RESULT result)
  endif()
  if(result EQUAL 0)
    file(RENAME "${record}.new" "${record}" RESULT result)
  endif()
  if(NOT result EQUAL 0)
    file(REMOVE "${record}.new")
    refuse("cannot write the install record ${record}: ${result}")
  endif()
  if(entry_count EQUAL 0)
    file(REMOVE "${record}")
  endif()
elseif(action STREQUAL "record")
  if(NOT record_locked)
    message(FATAL_ERROR "install-record.cmake: ${installed} is recorded before the install began")
  endif()
  destination(file "${installed}")
  if(IS_DIRECTORY "${file}" OR NOT EXISTS "${file}")
    message(FATAL_ERROR "cannot record the installed file ${file}")
  endif()
  real_path(file "${file}")
  # A file installed again, under any spelling, takes the place of its old entry.
  set(n 0)
  while(n LESS entry_count AND NOT entry_${n}_path STREQUAL file)
    math(EXPR n "${n} + 1")
  endwhile()
  if(n EQUAL entry_count)
    math(EXPR entry_count "${entry_count} + 1")
  endif()
  file(SHA256 "${file}" entry_${n}_hash)
  set(entry_${n}_path "${file}")
  write_record()
elseif(action STREQUAL "remove")
  if(entry_count EQUAL 0)
    refuse("nothing to remove: no install from this build tree is on record (${record})")
  endif()
  # First every file that holds what an install wrote goes; then each entry left is a file that
  # is gone or one that is kept. A record written before entries were real paths may name one
  # file twice, the first time with an older content: it is gone by then, not kept.
  set(n 0)
  while(n LESS entry_count)
    set(file "${entry_${n}_path}")
    set(hash "")
    if(EXISTS "${file}" AND NOT IS_DIRECTORY "${file}" AND NOT IS_SYMLINK "${file}")
      file(SHA256 "${file}" hash)
    endif()
    if(hash STREQUAL entry_${n}_hash)
      file(REMOVE "${file}")
      if(NOT EXISTS "${file}")
        message(STATUS "Removed: ${file}")
        set(entry_${n}_path "")
      endif()
    endif()
    math(EXPR n "${n} + 1")
  endwhile()
  set(kept "")
  set(n 0)
  while(n LESS entry_count)
    set(file "${entry_${n}_path}")
    if(file STREQUAL "")
    elseif(NOT EXISTS "${file}" AND NOT IS_SYMLINK "${file}")
      message(STATUS "Already gone: ${file}")
      set(entry_${n}_path "")
    else()
      # Hashed again: it may be the file some entry above found as written but could not remove.
      set(hash "")
      if(NOT IS_DIRECTORY "${file}" AND NOT IS_SYMLINK "${file}")
        file(SHA256 "${file}" hash)
      endif()
      if(hash STREQUAL entry_${n}_hash)
        message(STATUS "Cannot remove: ${file}")
      else()
        message(STATUS "Kept, not what the install wrote: ${file}")
      endif()
      string(APPEND kept "\n  ${file}")
    endif()
    math(EXPR n "${n} + 1")
  endwhile()
  write_record()
  if(NOT kept STREQUAL "")
    message(FATAL_ERROR "these files are still there, and stay on record in ${record}:${kept}")
  endif()
else()
  message(FATAL_ERROR "install-record.cmake: no action ${action}")
endif()
