# What `cmake --install` puts where, and the release packages CPack makes of it:
#   Linux:   kasor-max-<version>-linux-<processor>.tar.gz and kasor-max_<version>_<arch>.deb
#            (the program, the manual page, README.md and the license), for
#            x86_64 (amd64) and, cross-built, aarch64 (arm64)
#   Windows: kasor-max-<version>-win64.zip
#            (the program, its console twin kasor-max.com, LIESMICH.txt: a short
#            guide in German, and the license)
# Not the generator, the benchmarks or the tests.

set(KASOR_PACKAGE_CONTACT "the kasor-max authors <kasor-max@example.org>" CACHE STRING
    "Maintainer of the packages, as Debian's control file names it")
set(CPACK_PACKAGE_CONTACT "${KASOR_PACKAGE_CONTACT}")
string(TIMESTAMP KASOR_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)  # SOURCE_DATE_EPOCH when set
string(TIMESTAMP KASOR_RELEASE_DAY "%Y-%m-%d" UTC)

if(WIN32)
  # One folder to unpack anywhere: the program and its texts side by side, the
  # texts as Windows' editor opens them: CR LF line ends, and the guide in
  # UTF-8 with a byte order mark, so that its umlauts show.
  install(TARGETS kasor-max kasor-max-console RUNTIME DESTINATION . COMPONENT program)
  # Writes `from` as `to` in the build folder, with CR LF line ends and `start` before it.
  function(windows_text from to start)
    file(READ ${from} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${CMAKE_BINARY_DIR}/${to} "${start}${content}")
  endfunction()
  configure_file(docs/LIESMICH.txt.in ${CMAKE_BINARY_DIR}/LIESMICH.in @ONLY)
  string(ASCII 239 187 191 byte_order_mark)
  windows_text(${CMAKE_BINARY_DIR}/LIESMICH.in LIESMICH.txt "${byte_order_mark}")
  windows_text(${CMAKE_SOURCE_DIR}/LICENSE LICENSE.txt "")
  install(FILES ${CMAKE_BINARY_DIR}/LIESMICH.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT program)
else()
  include(GNUInstallDirs)
  install(TARGETS kasor-max RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
  # Debian keeps a package's license as "copyright", beside a compressed changelog.
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright COMPONENT debian EXCLUDE_FROM_ALL)
  if(KASOR_STATIC)
    install(FILES cmake/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME kasor-max COMPONENT debian EXCLUDE_FROM_ALL)
  endif()
  configure_file(cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
  configure_file(docs/kasor-max.1.in ${CMAKE_BINARY_DIR}/man/kasor-max.1 @ONLY)
  find_program(GZIP gzip)
  if(GZIP)
    # Compressed as Debian wants them; the same for the archive and an install.
    execute_process(COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/debian/changelog COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/man/kasor-max.1 COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
            COMPONENT debian EXCLUDE_FROM_ALL)
    install(FILES ${CMAKE_BINARY_DIR}/man/kasor-max.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  else()
    install(FILES ${CMAKE_BINARY_DIR}/man/kasor-max.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  endif()
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS docs/LIESMICH.txt.in docs/kasor-max.1.in LICENSE)

set(CPACK_PACKAGE_NAME kasor-max)
set(CPACK_PACKAGE_VENDOR "the kasor-max authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "peak vector per mesh node over all time steps of KASOR.dat")
set(CPACK_PACKAGE_DESCRIPTION "kasor-max reads KASOR.dat, a series of 2-D vector results per mesh node
as a simulation writes them, and writes KASOR_max.dat: for every node, the
vector of largest magnitude over all time steps, exact to the last bit.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/debian/per-generator.cmake)
# The packages alone, in one folder: CPack stages them in its own.
set(KASOR_PACKAGES_DIR ${CMAKE_BINARY_DIR}/packages CACHE PATH "Where the release packages are put")
set(CPACK_KASOR_PACKAGES ${KASOR_PACKAGES_DIR})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/collect-packages.cmake)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kasor-max-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME kasor-max-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
  # The dependencies the binary really has, found by dpkg-shlibdeps; a
  # program linked statically has none.
  if(NOT KASOR_STATIC)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()
# Every time stamp in the packages the commit's (per-generator.cmake hands it to cpack).
set(CPACK_KASOR_SOURCE_DATE_EPOCH "${KASOR_SOURCE_DATE_EPOCH}")
include(CPack)

# The release build makes the Windows package and the aarch64 ones too,
# cross-built with MinGW-w64 and g++-aarch64-linux-gnu, beside the x86_64 ones
# in build-release/packages.
if(KASOR_RELEASE AND NOT WIN32)
  include(ExternalProject)
  foreach(target windows aarch64)
    if(target STREQUAL "windows")
      set(toolchain mingw-w64-x86_64.cmake)
      set(programs kasor-max kasor-max-console)
    else()
      set(toolchain aarch64-linux-gnu.cmake)
      set(programs kasor-max)
    endif()
    ExternalProject_Add(${target}-release
      SOURCE_DIR ${CMAKE_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/${target}
      CMAKE_GENERATOR ${CMAKE_GENERATOR}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
                 -DCMAKE_BUILD_TYPE=Release -DKASOR_TESTS=OFF -DKASOR_WERROR=ON -DKASOR_RELEASE=OFF
                 -DKASOR_PACKAGES_DIR=${KASOR_PACKAGES_DIR} -DKASOR_SOURCE_DATE_EPOCH=${KASOR_SOURCE_DATE_EPOCH}
      BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${programs}
      INSTALL_COMMAND ${CMAKE_CPACK_COMMAND} --config <BINARY_DIR>/CPackConfig.cmake -B ${CMAKE_BINARY_DIR}/cpack
      BUILD_ALWAYS TRUE)
  endforeach()
endif()
