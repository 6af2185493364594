# The Debian package that `make package` builds (scripts/package-deb.sh):
# CPack's DEB generator over everything `cmake --install` puts in place (the
# shared library and its links, velto.h, velto.pc, the CMake package, the
# velto tool and its manual page), with the files Debian asks of every
# package in /usr/share/doc/velto. Its version is PROJECT_VERSION, the one
# the top-level project() sets and the library, velto.pc, the CMake package
# and `velto --version` all carry.
#
# The package is made for CMAKE_INSTALL_PREFIX=/usr: velto.pc names its
# prefix, and GNUInstallDirs picks the multiarch library folder
# (lib/x86_64-linux-gnu) only for that prefix.

set(VELTO_PACKAGE_MAINTAINER "velto maintainers <velto@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# /usr/share/doc/velto: the copyright notice, the project's CHANGELOG.md as
# the upstream changelog, and a Debian changelog with the one entry of this
# version (the package is native: its version has no Debian revision).
# Debian wants the changelogs compressed with gzip -9n (no name, no time).
# These and the lintian overrides belong to the package alone: they are the
# component "debian", which `cmake --install` leaves out and CPack adds
# (CPACK_INSTALL_CMAKE_PROJECTS below).
find_program(VELTO_GZIP gzip REQUIRED)
set(VELTO_DOC_STAGE ${PROJECT_BINARY_DIR}/package-doc)
string(TIMESTAMP VELTO_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
  ${VELTO_DOC_STAGE}/changelog.Debian @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${VELTO_DOC_STAGE}/changelog COPYONLY)
add_custom_command(
  OUTPUT ${VELTO_DOC_STAGE}/changelog.gz ${VELTO_DOC_STAGE}/changelog.Debian.gz
  COMMAND ${VELTO_GZIP} -9nkf changelog changelog.Debian
  DEPENDS ${VELTO_DOC_STAGE}/changelog ${VELTO_DOC_STAGE}/changelog.Debian
  WORKING_DIRECTORY ${VELTO_DOC_STAGE}
  COMMENT "Compressing the changelogs of the Debian package"
  VERBATIM)
add_custom_target(velto_package_doc ALL
  DEPENDS ${VELTO_DOC_STAGE}/changelog.gz ${VELTO_DOC_STAGE}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
  ${VELTO_DOC_STAGE}/changelog.gz ${VELTO_DOC_STAGE}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
# One package holds the library, its development files and the tool; the
# overrides say so to lintian (see the file).
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME velto
  COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};velto;ALL;/" "${PROJECT_BINARY_DIR};velto;debian;/")
set(CPACK_PACKAGE_NAME velto)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELTO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "character, line and page counts of Japanese text under kinsoku rules")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack indents the lines of the long description and writes an empty
# line as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "velto measures Japanese text files the way a writer or an editor needs:
how many characters a text holds (with and without line ends and blanks),
and how many display lines and pages it fills when it is set at a fixed
number of characters per line under Japanese line-break rules (kinsoku),
such as the 20 x 20 = 400-character manuscript page. Text in Shift-JIS,
UTF-16, EUC-JP, ISO-2022-JP, UTF-7 and UTF-8 is read.

This package holds the velto command-line tool and the shared library
libvelto with its C header, pkg-config file and CMake package, for hosts
that call GetStatus with a status file.")
# The dependencies (ICU's runtime, the C and C++ runtimes) are read off the
# binaries by dpkg-shlibdeps; the shlibs file lets other packages depend on
# libvelto.so.0 in the same way.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The library lies in a folder of the dynamic loader: Debian asks for
# libc's ldconfig trigger, which the triggers file activates. CPack writes a
# postinst and a postrm that run ldconfig as well; lintian warns of those
# (maintscript-calls-ldconfig), and they do no harm.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_STRIP_FILES ON)
# Installed paths are owned by root, folders 755 and files 644 or 755.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
