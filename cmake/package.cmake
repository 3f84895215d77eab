# SPDX-License-Identifier: MIT
# The Debian package, made by CPack (cpack -G DEB in the build folder), with
# what Debian expects beside the program and its man page: the copyright, a
# gzipped changelog made from CHANGELOG.md, and a binary without the
# sections a release does not need.
set(package zavevuv-32uvo)  # Debian package names take no underscore
set(maintainer "The zavevuv_32uvo developers <maintainers@zavevuv-32uvo.org>")
set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})

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
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/generated/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_BINARY_DIR}/generated/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/generated/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog_gz})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

install(FILES cmake/copyright ${changelog_gz} DESTINATION ${docdir})
install(FILES cmake/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
  RENAME ${package})
# The compiler's version strings (.comment) and the old-style notes have no
# use in an installed program.
install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zavevuv_32uvo\" COMMAND_ERROR_IS_FATAL ANY)")

set(CPACK_PACKAGE_NAME ${package})
set(CPACK_PACKAGE_VENDOR "The zavevuv_32uvo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repair the size fields in WAV file headers")
set(CPACK_PACKAGE_DESCRIPTION
  "zavevuv_32uvo repairs WAV files whose header states a wrong length for the
sample data, as crashed recorders, unfinished streams and cut-off copies leave
them. It walks the chunks of a RIFF, RF64 or BW64 file to its data chunk,
compares each size field with what the file really holds, and rewrites only
the wrong fields in place, at the same small cost whatever the file's size.
A recording past 4 GiB whose writer reserved room is upgraded to RF64 in
place. Valid files, including those with chunks after the audio or tags
appended, and files that are not WAVE files are left alone.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
