# Fails when the dynamic section of LIBRARY needs the Fortran runtime or its
# quad-precision library.
execute_process(COMMAND readelf -d ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${LIBRARY}")
endif()
if(dynamic MATCHES "NEEDED[^\n]*(libgfortran|libquadmath)")
  message(FATAL_ERROR "${LIBRARY} needs ${CMAKE_MATCH_1}")
endif()
