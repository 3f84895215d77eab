# SPDX-License-Identifier: MIT
# The zavevuv Python package (python/zavevuv: pure Python over
# libzavevuv.so.1) in its own component: installed where the interpreter
# looks under the prefix; under /usr, Debian's dist-packages, which every
# python3 of the system reads.
find_package(Python3 COMPONENTS Interpreter)
set(python_site lib/python3/dist-packages)
if(Python3_FOUND)
  execute_process(COMMAND ${Python3_EXECUTABLE} -c [=[
import sys, sysconfig
scheme = getattr(sysconfig, "get_default_scheme", lambda: "")()
version = "%d.%d" % sys.version_info[:2]
print("lib/python%s/dist-packages" % version if scheme == "posix_local"
      else sysconfig.get_path("purelib", vars={"base": "", "platbase": ""}).lstrip("/"))]=]
    OUTPUT_VARIABLE python_site OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(package_dir ${PROJECT_SOURCE_DIR}/python/zavevuv)
install(CODE "
  set(site \"${python_site}\")
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(site lib/python3/dist-packages)
  endif()
  file(INSTALL \"${package_dir}/__init__.py\" \"${package_dir}/py.typed\"
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${site}/zavevuv\")
  # Where the library went, for the package to load it by its path: outside
  # /usr the dynamic linker would need LD_LIBRARY_PATH to find it.
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${site}/zavevuv/_library.py\"
      \"PATH = '\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libzavevuv.so.1'\\n\")
  endif()" COMPONENT python3-zavevuv)
