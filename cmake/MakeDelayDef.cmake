# Writes a .def for one system DLL from the functions its MinGW import library
# exports, so its delay-load library follows the toolchain rather than a hand list.
#   cmake -DNM=<nm> -DIMPORT_LIB=<libX.a> -DDLL=<x.dll> -DOUTPUT=<x.def> -P MakeDelayDef.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIB}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIB}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(thunks "")
set(pointers "")
foreach(line IN LISTS lines)
  if(line MATCHES " T ([A-Za-z_][A-Za-z0-9_]*)$")
    list(APPEND thunks ${CMAKE_MATCH_1})
  elseif(line MATCHES " I __imp_([A-Za-z_][A-Za-z0-9_]*)$")
    list(APPEND pointers ${CMAKE_MATCH_1})
  endif()
endforeach()
# A function has both a call thunk and an import pointer; data exports only the
# pointer, and data cannot be delay-loaded.
list(REMOVE_DUPLICATES thunks)
list(SORT thunks)
set(def "LIBRARY ${DLL}\nEXPORTS\n")
set(count 0)
foreach(name IN LISTS thunks)
  # liboleacc.a lists IID_IAccessible and its like as functions; delayed, a reference to one
  # would read the thunk's code as the GUID. Left out, it comes from libuuid as data.
  if(name MATCHES "^(IID|LIBID|CLSID)_")
    continue()
  endif()
  if(name IN_LIST pointers)
    string(APPEND def "  ${name}\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no functions found in ${IMPORT_LIB}")
endif()
file(WRITE ${OUTPUT} "${def}")
