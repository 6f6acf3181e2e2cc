# Writes OUTPUT, a C++ source that holds files as text: one std::string_view
# per file, in the namespace qxdump::page_assets (declared by
# page_assets.hpp). ASSETS lists NAME=PATH pairs separated by '|':
#   cmake -DOUTPUT=page_assets.cpp -DASSETS=report_js=report.js|... -P embed_files.cmake
# Each file becomes a raw string literal; a file that holds the literal's
# closing sequence, or a NUL byte, is refused.
cmake_minimum_required(VERSION 3.20)

set(close ")qxasset\"")
set(body "// Generated from the report page's files by embed_files.cmake: edit those, not this.\n")
string(APPEND body "#include \"page_assets.hpp\"\n\nnamespace qxdump::page_assets {\n")
string(REPLACE "|" ";" assets "${ASSETS}")
foreach(pair IN LISTS assets)
  string(FIND "${pair}" "=" eq)
  string(SUBSTRING "${pair}" 0 ${eq} name)
  math(EXPR from "${eq} + 1")
  string(SUBSTRING "${pair}" ${from} -1 path)
  file(SIZE "${path}" bytes)
  file(READ "${path}" text)
  string(LENGTH "${text}" length)
  if(NOT length EQUAL bytes)
    message(FATAL_ERROR "${path}: holds a NUL byte; it cannot be embedded as text")
  endif()
  string(FIND "${text}" "${close}" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${path}: holds ${close}, which would end its literal")
  endif()
  string(APPEND body "\nconst std::string_view ${name} = R\"qxasset(${text}${close};\n")
endforeach()
string(APPEND body "\n}  // namespace qxdump::page_assets\n")
file(WRITE "${OUTPUT}" "${body}")
