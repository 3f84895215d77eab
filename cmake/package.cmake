# SPDX-License-Identifier: MIT
# The Debian packages, made by CPack (cpack -G DEB in the build folder): the
# tool, the shared library, its development files and the Python package,
# each with what Debian
# expects beside them: the copyright, a gzipped changelog made from
# CHANGELOG.md, and binaries without the sections a release does not need.
set(package zavevuv-32uvo)  # Debian package names take no underscore
set(lib_package libzavevuv${ZAVEVUV_ABI})
string(TOUPPER ${lib_package} LIB)  # CPack's variables name components in capitals
set(maintainer "The zavevuv_32uvo developers <maintainers@zavevuv-32uvo.org>")

# The changelog in Debian's format, one entry per release of CHANGELOG.md:
# "## VERSION (Day, DD Mon YYYY)" or, for a second release on one day,
# "## VERSION (Day, DD Mon YYYY HH:MM:SS)", then "- " items, continued on
# lines indented by two spaces.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md lines ENCODING UTF-8)
set(changelog "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([0-9.]+) \\((.+)\\)$")
    string(APPEND changelog "${trailer}${package} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
    set(date "${CMAKE_MATCH_2}")
    if(NOT date MATCHES ":")
      string(APPEND date " 00:00:00")
    endif()
    set(trailer "\n -- ${maintainer}  ${date} +0000\n\n")
  elseif(line MATCHES "^- (.*)$")
    string(APPEND changelog "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.+)$" AND NOT trailer STREQUAL "")
    string(APPEND changelog "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" changelog "${changelog}${trailer}")
file(CONFIGURE OUTPUT generated/changelog CONTENT "${changelog}" @ONLY)
gzip_generated(changelog changelog)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/generated/changelog.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

foreach(component tool ${lib_package} libzavevuv-dev python3-zavevuv)
  set(name ${component})
  if(component STREQUAL "tool")
    set(name ${package})
  endif()
  install(FILES cmake/copyright ${changelog_gz}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
endforeach()
install(FILES cmake/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
  RENAME ${package} COMPONENT tool)
install(FILES cmake/lintian-overrides-library
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${lib_package}
  COMPONENT ${lib_package})
# The compiler's version strings (.comment) and the old-style notes have no
# use in an installed program or library.
function(strip_notes file component)
  install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
    --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"
    COMMAND_ERROR_IS_FATAL ANY)" COMPONENT ${component})
endfunction()
strip_notes(${CMAKE_INSTALL_BINDIR}/zavevuv_32uvo tool)
strip_notes(${CMAKE_INSTALL_BINDIR}/zavevuv tool)
strip_notes(${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:zavevuv_shared> ${lib_package})
# The static library without its debugging sections, as Debian ships them.
install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-debug --enable-deterministic-archives
  --remove-section=.comment --remove-section=.note
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libzavevuv.a\"
  COMMAND_ERROR_IS_FATAL ANY)" COMPONENT libzavevuv-dev)

set(CPACK_PACKAGE_NAME ${package})
set(CPACK_PACKAGE_VENDOR "The zavevuv_32uvo developers")
# Each package's description starts with its own summary: CPack puts a
# common one in front unless it is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_TOOL_DESCRIPTION
  "repair the size fields in WAV file headers
zavevuv_32uvo repairs WAV files whose header states a wrong length for the
sample data, as crashed recorders, unfinished streams and cut-off copies leave
them. It walks the chunks of a RIFF, RF64 or BW64 file to its data chunk,
compares each size field with what the file really holds, and rewrites only
the wrong fields in place, at the same small cost whatever the file's size.
A recording past 4 GiB whose writer reserved room is upgraded to RF64 in
place. Valid files, including those with chunks after the audio or tags
appended, and files that are not WAVE files are left alone.
.
The zavevuv command does the same for many files at once, in the manner of
the GNU tools: it checks without writing (-n), walks folders (-r), takes
NUL-terminated names (--files0-from), prints JSON Lines (--json) and tells
by its exit status whether every file is correct.")
set(library_text
  "libzavevuv repairs WAV files whose header states a wrong length for the
sample data, as crashed recorders leave them. It checks a file, by path or
through a descriptor, and says how much audio it holds and what a repair
would do; or it repairs the size fields in place, with the rules, locking
and sync of the zavevuv_32uvo command. A recording app can call it at launch
on the files a crash left; a decision function serves apps that do their
own I/O.")
set(CPACK_DEBIAN_${LIB}_DESCRIPTION
  "library to check and repair the size fields of WAV file headers
${library_text}")
set(CPACK_DEBIAN_LIBZAVEVUV-DEV_DESCRIPTION
  "library to check and repair WAV file headers - development files
${library_text}
.
This package holds the C header, the static library, the pkg-config file,
the CMake package, the zavevuv(3) manual page and examples in C and Python.")
set(CPACK_DEBIAN_PYTHON3-ZAVEVUV_DESCRIPTION
  "Python interface to libzavevuv, to check and repair WAV file headers
${library_text}
.
This package holds the zavevuv module for Python 3: check() and repair()
take a path or an open file and return a report.")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool ${lib_package} libzavevuv-dev python3-zavevuv)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${package})
set(CPACK_DEBIAN_${LIB}_PACKAGE_NAME ${lib_package})
set(CPACK_DEBIAN_LIBZAVEVUV-DEV_PACKAGE_NAME libzavevuv-dev)
set(CPACK_DEBIAN_${LIB}_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBZAVEVUV-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBZAVEVUV-DEV_PACKAGE_DEPENDS "${lib_package} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_PYTHON3-ZAVEVUV_PACKAGE_NAME python3-zavevuv)
set(CPACK_DEBIAN_PYTHON3-ZAVEVUV_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON3-ZAVEVUV_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON3-ZAVEVUV_PACKAGE_DEPENDS "python3:any, ${lib_package} (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# ldconfig runs from dpkg's trigger; the symbols file says in which version
# each function came, for the dependencies of the programs that link it.
configure_file(cmake/symbols.in generated/symbols @ONLY)
set(CPACK_DEBIAN_${LIB}_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/triggers ${CMAKE_CURRENT_BINARY_DIR}/generated/symbols)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Multi-Arch and the trigger alone running ldconfig, which CPack cannot say.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_fields.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Staged through DESTDIR, so that what is written at install time (the
# pkg-config file, the Python package's folder) sees the prefix /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
