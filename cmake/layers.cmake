# The converter's layers, each a library of its own directory under src/ that
# links only the layers below it:
#
#   main (the run driver)
#     -> model, control, convert (none of them sees another)
#       -> run (the run context: store, error catalogue, channels of the run)
#         -> format (the facts of the file formats, as data)
#           -> io (records, layouts, files, terminal)
#
# The format layer is the one home of what the converter and the inspector
# qxdump both know of the files (block kinds, maxima codes, the model
# section, file names): qxdump links it too.
#
# A layer's sources and everything that links it see the headers of that
# layer and of the layers below it, and no others: the include root of a
# layer is a directory of the build holding one link, named after the layer,
# to its source directory. An include that goes the wrong way ("run/run.hpp"
# in io, "convert/..." in model) therefore names no file and fails to compile.

# qx_layer(NAME [SOURCES file...] [LINKS target...]): the library qx_NAME of
# src/NAME (every .cpp there unless SOURCES names them), with the include root
# that shows src/NAME as NAME/. Of the files that hold the calls of one
# operating system (NAME_posix.cpp, NAME_windows.cpp), those of the system
# built for are taken.
function(qx_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${name} ${root}/${name} SYMBOLIC)
  if(NOT arg_SOURCES)
    file(GLOB arg_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  endif()
  if(WIN32)
    list(FILTER arg_SOURCES EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER arg_SOURCES EXCLUDE REGEX "_windows\\.cpp$")
  endif()
  add_library(qx_${name} STATIC ${arg_SOURCES})
  target_include_directories(qx_${name} PUBLIC ${root})
  target_link_libraries(qx_${name} PUBLIC ${arg_LINKS})
endfunction()

# The record reader reads ahead of the converter on a thread of its own.
find_package(Threads REQUIRED)
qx_layer(io LINKS Threads::Threads)
qx_layer(format LINKS qx_io)
qx_layer(run LINKS qx_format)
qx_layer(model LINKS qx_run)
qx_layer(control LINKS qx_run)
qx_layer(convert LINKS qx_run)
qx_layer(main SOURCES ${CMAKE_SOURCE_DIR}/src/main/driver.cpp LINKS qx_model qx_control qx_convert)
