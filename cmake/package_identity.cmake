# Who makes the packages and where they come from, the copyright file that
# names the licences, and the packages' name and version: the same for the
# Debian package (cmake/debian_package.cmake) and the Windows ZIP
# (cmake/windows_package.cmake).
#
# The maintainer and the home page are set here and nowhere else; a build
# for release names its own at configure time:
#   cmake -S . -B build -DQX_PACKAGE_MAINTAINER="Name <address>" -DQX_PACKAGE_HOMEPAGE=https://...
set(QX_PACKAGE_MAINTAINER "qxconv maintainers <maintainers@users.noreply.c-seed-e1f93a8d.example>"
    CACHE STRING "Maintainer named in the Debian package, its changelog and its copyright file")
set(QX_PACKAGE_HOMEPAGE "https://c-seed-e1f93a8d.example/qxconv"
    CACHE STRING "Home page named in the Debian package and its copyright file")

# The copyright file, in Debian's machine-readable form: the project's MIT
# licence and uPlot's, whose script qxdump copies into its web pages.
set(QX_DEBIAN_DIR ${CMAKE_BINARY_DIR}/debian)
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in ${QX_DEBIAN_DIR}/copyright @ONLY)

# What both packages are called and hold: the programs stripped of their
# debugging sections.
set(CPACK_PACKAGE_NAME qxconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
