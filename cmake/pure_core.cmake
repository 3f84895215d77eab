# SPDX-License-Identifier: MIT
# cmake -DDIR=src/core -P pure_core.cmake: fails when a file of the core
# includes anything but the C++ standard library and the core's own headers.
cmake_minimum_required(VERSION 3.25)
file(GLOB sources ${DIR}/*.h ${DIR}/*.cpp)
set(standard algorithm array bit bitset cstddef cstdint functional initializer_list optional span
    string_view utility variant vector)
foreach(source IN LISTS sources)
  file(STRINGS ${source} includes REGEX "^#include")
  foreach(line IN LISTS includes)
    if(line MATCHES "^#include <([^>]+)>")
      if(NOT CMAKE_MATCH_1 IN_LIST standard)
        message(FATAL_ERROR "${source}: ${line}: the core reads and writes through its callers only")
      endif()
    elseif(line MATCHES "^#include \"([^\"]+)\"" AND NOT EXISTS ${DIR}/${CMAKE_MATCH_1})
      message(FATAL_ERROR "${source}: ${line}: not a header of the core")
    endif()
  endforeach()
endforeach()
list(LENGTH sources count)
message(STATUS "the core's ${count} files include only the standard library and each other")
