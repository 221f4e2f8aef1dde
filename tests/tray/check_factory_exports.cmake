# Fails unless the tray tool's dynamic symbol table offers the library factory
# (AllocateCKavlib, FreeCKavlib) and no other function of ours.
execute_process(COMMAND nm -D --defined-only ${PROGRAM} OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(functions)
foreach(line ${lines})
  # Text symbols only, leaving out the C++ library's weak template copies.
  if(line MATCHES " T ([^ ]+)$")
    list(APPEND functions ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT functions)
set(expected AllocateCKavlib FreeCKavlib)
if(NOT functions STREQUAL expected)
  message(FATAL_ERROR "exported: ${functions}\nexpected: ${expected}")
endif()
