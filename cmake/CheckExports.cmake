# Fails unless the dynamic symbol table of BINARY defines exactly the names in
# EXPECTED (a ;-list). With FILTER (a regular expression) only the defined
# names matching it are compared: a program's table also holds the sanitizer
# runtimes' functions, which do not count.
#   cmake -DBINARY=file -DEXPECTED="a;b" [-DFILTER=regex] -P CheckExports.cmake
execute_process(COMMAND nm -D --defined-only ${BINARY} OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${BINARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE "^.* " "" name "${line}")
  if(NOT DEFINED FILTER OR name MATCHES "${FILTER}")
    list(APPEND names ${name})
  endif()
endforeach()
list(SORT names)
set(expected ${EXPECTED})
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
