# Compiles one probe source per header, each holding nothing but the include
# of that header, with the include directories INCLUDES, and checks the
# outcome that EXPECT names for it: "compiles", or "fails" because the
# header is not found from those directories (any other error is a fault of
# the probe, not a proof).
#   cmake -DCOMPILER=c++ -DINCLUDES=dir;... -DHEADERS=a/x.hpp;... -DEXPECT=compiles;fails;...
#         -DWORK=dir -P include_probe.cmake
file(MAKE_DIRECTORY ${WORK})
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS INCLUDES)
  list(APPEND flags -I${dir})
endforeach()

list(LENGTH HEADERS count)
math(EXPR last "${count} - 1")
set(faults 0)
foreach(i RANGE ${last})
  list(GET HEADERS ${i} header)
  list(GET EXPECT ${i} expect)
  set(probe ${WORK}/probe_${i}.cpp)
  file(WRITE ${probe} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} ${flags} ${probe} RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
  string(FIND "${errors}" "${header}: No such file or directory" not_found)
  if(expect STREQUAL "compiles" AND NOT status EQUAL 0)
    message(SEND_ERROR "including ${header} should compile, and does not:\n${errors}")
    math(EXPR faults "${faults} + 1")
  elseif(expect STREQUAL "fails" AND status EQUAL 0)
    message(SEND_ERROR "including ${header} should fail, and compiles")
    math(EXPR faults "${faults} + 1")
  elseif(expect STREQUAL "fails" AND not_found EQUAL -1)
    message(SEND_ERROR "including ${header} fails, but not for want of the header:\n${errors}")
    math(EXPR faults "${faults} + 1")
  else()
    message(STATUS "${header}: ${expect}")
  endif()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} of ${count} probes went wrong")
endif()
