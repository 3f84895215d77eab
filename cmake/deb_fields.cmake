# SPDX-License-Identifier: MIT
# Run by CPack once the packages are built (CPACK_POST_BUILD_SCRIPTS): the
# library and its development files get "Multi-Arch: same", which CPack
# cannot write, and lose the postinst and postrm CPack adds to call
# ldconfig, which the package's trigger already runs.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^libzavevuv")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  file(READ ${tree}/DEBIAN/control control)
  string(REGEX REPLACE "\nPriority:" "\nMulti-Arch: same\nPriority:" control "${control}")
  file(WRITE ${tree}/DEBIAN/control "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${tree} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
