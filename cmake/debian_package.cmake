# The Debian package: `cpack` in the build directory makes
# qxconv_VERSION_ARCH.deb from what `cmake --install` installs, under /usr.
# Its dependencies are worked out from the programs by dpkg-shlibdeps. The
# maintainer, the home page and the copyright file come from
# cmake/package_identity.cmake.

# The copyright file and the changelog, compressed as Debian keeps it, go
# with the documents, so that an install holds what the package holds.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in QX_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT QX_CHANGELOG_TOP MATCHES "^qxconv \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog.in begins with \"${QX_CHANGELOG_TOP}\": "
                      "the version ${PROJECT_VERSION} of project() needs an entry at its top")
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${QX_DEBIAN_DIR}/changelog @ONLY)
qx_compressed_copy(${QX_DEBIAN_DIR}/changelog ${QX_DEBIAN_DIR}/changelog.gz)
install(FILES ${QX_DEBIAN_DIR}/copyright ${QX_DEBIAN_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT ${QX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${QX_PACKAGE_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert, inspect and batch seismic response analysis results")
# The long description, in lines short enough for package tools.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Three programs for the results of two-dimensional seismic response"
  "analyses."
  "qxconv converts the results of one analysis case (the MODE1 input data"
  "file and the TP18 and TP19 result files) into the binary layouts of the"
  "in-plane (SV) and out-of-plane (SH) variants of the analysis family, in"
  "the byte order chosen, with optional text copies and a list file of the"
  "run."
  "qxdump lists the blocks and records of result and converted files and"
  "exports them as CSV, HDF5 or a self-contained web page."
  "qxbatch converts every case of a study with qxconv, several at a time"
  "on the local processors or as a Slurm job array, and tells which cases"
  "failed and why.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QX_PACKAGE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
