# SPDX-License-Identifier: MIT
# What installs libzavevuv for programs that link it: the runtime (the
# shared library) in one component, and in the other the header, the link
# to it, the static library, a pkg-config file, a CMake package and the man
# page of the interface.
include(CMakePackageConfigHelpers)
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/zavevuv)

set_target_properties(zavevuv_shared PROPERTIES EXPORT_NAME zavevuv)
set_target_properties(zavevuv_static PROPERTIES EXPORT_NAME zavevuv_static)
# The static library's code is C++: a C program linking it needs the
# runtime.
target_link_libraries(zavevuv_static INTERFACE stdc++)
install(TARGETS zavevuv_shared EXPORT zavevuv
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzavevuv${ZAVEVUV_ABI}
    NAMELINK_COMPONENT libzavevuv-dev)
install(TARGETS zavevuv_static EXPORT zavevuv
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libzavevuv-dev)
install(FILES ${public_header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libzavevuv-dev)
install(EXPORT zavevuv NAMESPACE zavevuv:: FILE zavevuvTargets.cmake DESTINATION ${cmake_dir}
  COMPONENT libzavevuv-dev)
configure_file(cmake/zavevuvConfig.cmake.in generated/zavevuvConfig.cmake COPYONLY)
write_basic_package_version_file(generated/zavevuvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/zavevuvConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/generated/zavevuvConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT libzavevuv-dev)

# pkg-config finds the prefix from where the file lies, so the same file
# serves /usr, /usr/local and a staged install.
string(REGEX REPLACE "[^/]+" ".." pc_up "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(cmake/zavevuv.pc.in generated/zavevuv.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/zavevuv.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT libzavevuv-dev)

man_page(zavevuv 3 libzavevuv-dev)
