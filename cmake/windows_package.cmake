# The Windows package: `cpack` in a Windows build (cross-built with
# cmake/toolchains/x86_64-w64-mingw32.cmake) makes qxconv-VERSION-win64.zip,
# one folder holding qxconv.exe and qxdump.exe, the README and the other
# documents, the licences, and the manual pages as HTML pages. The programs
# are linked statically: nothing else is needed beside them.

# The licences: the project's, and the copyright file that names it and
# uPlot's, whose script qxdump.exe holds for its web pages.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${QX_DEBIAN_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual pages of the programs built for Windows, rendered by mandoc on
# the build machine.
find_program(QX_MANDOC mandoc)
if(QX_MANDOC)
  set(QX_MAN_HTML_PAGES "")
  list(TRANSFORM QX_USER_PROGRAMS APPEND .1 OUTPUT_VARIABLE QX_WINDOWS_MAN_PAGES)
  foreach(page ${QX_WINDOWS_MAN_PAGES})
    set(html ${CMAKE_BINARY_DIR}/man-html/${page}.html)
    add_custom_command(
      OUTPUT ${html}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man-html
      COMMAND sh -c "\"$0\" -T html \"$1\" > \"$2\"" ${QX_MANDOC} ${CMAKE_BINARY_DIR}/man/man1/${page}
              ${html}
      DEPENDS ${CMAKE_BINARY_DIR}/man/man1/${page}
      COMMENT "Manual page ${page} as HTML"
      VERBATIM)
    list(APPEND QX_MAN_HTML_PAGES ${html})
  endforeach()
  add_custom_target(qx_man_html ALL DEPENDS ${QX_MAN_HTML_PAGES})
  install(FILES ${QX_MAN_HTML_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR})
else()
  message(WARNING "mandoc not found: the Windows package is made without its manual pages (tools/deps.sh windows)")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME qxconv-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

include(CPack)
