# The library alone, as a distribution builds it: configured without the test
# and benchmark frameworks in another folder, with prefix /usr and Debian's
# multiarch libdir, installed with DESTDIR. Then: pkg-config names folders
# that exist, a C++14 project and a C program build and run against it, and
# the object holding a __FILE__ is byte for byte that of the main build.
# Inputs: SOURCE_DIR, WORK_DIR, MAIN_BUILD, BUILD_TYPE, SANITIZE, C/CXX/Fortran compilers.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(build ${WORK_DIR}/build)
set(root ${WORK_DIR}/root)
set(libdir lib/x86_64-linux-gnu)

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DHESTREL_SANITIZE=${SANITIZE}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_Fortran_COMPILER=${Fortran_COMPILER}
    -DBUILD_TESTING=OFF -DHESTREL_BENCHMARKS=OFF
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=${libdir})
run(${CMAKE_COMMAND} --build ${build} -j 4)

# Builds in different folders give the same bytes.
file(GLOB main_object ${MAIN_BUILD}/zkfile/CMakeFiles/hestrel_objects.dir/zkfile/user_dirs.cpp.o)
file(GLOB object ${build}/zkfile/CMakeFiles/hestrel_objects.dir/zkfile/user_dirs.cpp.o)
if(NOT main_object OR NOT object)
  message(FATAL_ERROR "user_dirs.cpp.o not found in ${MAIN_BUILD} or ${build}")
endif()
list(GET main_object 0 main_object)
list(GET object 0 object)
run(${CMAKE_COMMAND} -E compare_files ${main_object} ${object})
# The sanitizers' own reports name the sources by their full path, so a
# sanitized build is checked for the build folder only.
set(unwanted "${build}")
if(NOT SANITIZE)
  set(unwanted "${SOURCE_DIR}|${build}")
endif()
file(STRINGS ${object} leaked REGEX "${unwanted}")
if(leaked)
  message(FATAL_ERROR "build paths in ${object}: ${leaked}")
endif()

set(ENV{DESTDIR} ${root})
run(${CMAKE_COMMAND} --install ${build})
unset(ENV{DESTDIR})

set(ENV{PKG_CONFIG_PATH} ${root}/usr/${libdir}/pkgconfig)
unset(ENV{PKG_CONFIG_SYSROOT_DIR})
run(pkg-config --cflags --libs hestrel)
string(STRIP "${run_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
foreach(flag IN LISTS flags)
  if(flag MATCHES "^-[IL](.*)")
    if(NOT IS_DIRECTORY "${CMAKE_MATCH_1}")
      message(FATAL_ERROR "pkg-config names a missing folder: ${flag}")
    endif()
  endif()
endforeach()
if(NOT EXISTS ${root}/usr/include/hestrel/zkerr.h OR NOT EXISTS ${root}/usr/${libdir}/libhestrel.so.0)
  message(FATAL_ERROR "headers or library not installed under ${root}/usr")
endif()

set(consumer_flags)
if(SANITIZE)
  set(consumer_flags "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_C_COMPILER=${C_COMPILER}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${consumer_flags})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
set(ENV{LD_LIBRARY_PATH} ${root}/usr/${libdir})
set(ENV{ASAN_OPTIONS} detect_leaks=0)
foreach(program consumer_cxx consumer_c)
  run(${WORK_DIR}/consumer/${program})
  if(NOT run_output STREQUAL "dir/name\n")
    message(FATAL_ERROR "${program} printed: ${run_output}")
  endif()
endforeach()
message(STATUS "package checks passed")
