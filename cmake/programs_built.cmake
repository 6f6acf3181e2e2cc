# Run first by `cmake --install` and by cpack: stops the install before any
# file is copied when a program that it installs has not been built, so that
# an install is never left half made. QX_PROGRAM_FILES and QX_BUILD_DIR are
# set by the install rule before this one.
foreach(program IN LISTS QX_PROGRAM_FILES)
  if(NOT EXISTS "${program}")
    get_filename_component(name "${program}" NAME)
    message(FATAL_ERROR "${name} has not been built, so nothing was installed: "
                        "build every program first with\n  cmake --build ${QX_BUILD_DIR}\n"
                        "and install again.")
  endif()
endforeach()
