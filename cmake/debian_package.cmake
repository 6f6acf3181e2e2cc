# The Debian package: `cpack` in the build directory makes
# qxconv_VERSION_ARCH.deb from what `cmake --install` installs, under /usr.
# Its dependencies are worked out from the programs by dpkg-shlibdeps.
set(QX_PACKAGE_MAINTAINER "qxconv maintainers <maintainers@users.noreply.c-seed-e1f93a8d.example>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qxconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of seismic response analysis results to the SV and SH layouts")
# The long description, in lines short enough for package tools.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "qxconv converts the results of one two-dimensional seismic response"
  "analysis case (the MODE1 input data file and the TP18 and TP19 result"
  "files) into the binary layouts of the in-plane (SV) and out-of-plane (SH)"
  "variants of the analysis family, in the byte order chosen, with optional"
  "text copies and a list file of the run."
  "qxdump shows the blocks and records of result and converted files.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
