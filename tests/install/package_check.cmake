# The library alone, as a distribution builds it: configured without the test
# and benchmark frameworks in another folder, with prefix /usr and Debian's
# multiarch libdir, installed with DESTDIR, with the main build's generator.
# Then: the object holding a __FILE__ is byte for byte that of the main
# build; hestrel.pc answers with no Qt in sight and names folders that exist;
# a C-only, a Fortran-only and a C++14 project build and run against the
# prefix through CMake and pkg-config; a C host keeps its own "failure" and
# "errHand_zkfile" to itself; every declared function links.
# Inputs: SOURCE_DIR, WORK_DIR, MAIN_BUILD, BUILD_TYPE, SANITIZE, GENERATOR,
# MAKE_PROGRAM, PYTHON, C/CXX/Fortran compilers.
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

# The main build's generator: the objects compared below depend on it.
set(generator -G "${GENERATOR}")
if(MAKE_PROGRAM)
  list(APPEND generator "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} ${generator}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DHESTREL_SANITIZE=${SANITIZE}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_Fortran_COMPILER=${Fortran_COMPILER}
    -DBUILD_TESTING=OFF -DHESTREL_BENCHMARKS=OFF
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=${libdir})
run(${CMAKE_COMMAND} --build ${build} -j 4)

# Builds in different folders give the same bytes.
file(GLOB_RECURSE main_object ${MAIN_BUILD}/zkfile/CMakeFiles/hestrel_objects.dir/*/user_dirs.cpp.o)
file(GLOB_RECURSE object ${build}/zkfile/CMakeFiles/hestrel_objects.dir/*/user_dirs.cpp.o)
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

set(pcdir ${root}/usr/${libdir}/pkgconfig)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})
# hestrel.pc needs nothing but the library: no other .pc file is visible.
file(MAKE_DIRECTORY ${WORK_DIR}/no_pc)
set(ENV{PKG_CONFIG_LIBDIR} ${WORK_DIR}/no_pc)
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
foreach(file include/hestrel/zkerr.h include/hestrel/hestrel_export.h ${libdir}/libhestrel.so.0
             share/doc/hestrel/docs/api.md share/doc/hestrel/README.md
             share/doc/hestrel/examples/example.c)
  if(NOT EXISTS ${root}/usr/${file})
    message(FATAL_ERROR "${file} not installed under ${root}/usr")
  endif()
endforeach()
file(GLOB_RECURSE internal_headers ${root}/usr/include/*/internal/*)
if(internal_headers)
  message(FATAL_ERROR "internal headers installed: ${internal_headers}")
endif()

set(consumer_flags)
if(SANITIZE)
  set(consumer_flags "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
set(ENV{LD_LIBRARY_PATH} ${root}/usr/${libdir})
set(ENV{ASAN_OPTIONS} detect_leaks=0)

# Configures and builds a consumer project of this folder.
function(consumer name)
  run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/${name} -B ${WORK_DIR}/${name} ${generator}
      -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_C_COMPILER=${C_COMPILER}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_Fortran_COMPILER=${Fortran_COMPILER}
      ${consumer_flags} ${ARGN})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/${name})
endfunction()

# Runs a consumer's program; its standard output must be expected.
function(expect program expected)
  run(${program})
  if(NOT run_output STREQUAL "${expected}")
    message(FATAL_ERROR "${program} printed: ${run_output}")
  endif()
endfunction()

# C and Fortran: Qt and Threads cannot be found, and need not be.
consumer(consumer_c -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_Threads=ON)
foreach(program consumer_c consumer_c_pc)
  expect(${WORK_DIR}/consumer_c/${program} "dir/name\n")
endforeach()
execute_process(COMMAND ${WORK_DIR}/consumer_c/host_names RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "host done\n" OR NOT err MATCHES "zkfile_mkdir: Null path")
  message(FATAL_ERROR "a host's own failure or errHand_zkfile took over (${rc}):\n${out}\n${err}")
endif()

# A required component that cannot be had fails the configure with its
# reason, not only with hestrel_FOUND set to FALSE.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer_c_components
                        -B ${WORK_DIR}/consumer_c_components ${generator}
                        -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_C_COMPILER=${C_COMPILER} "-DCOMPONENTS=Qt;Nope"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
# CMake wraps the reason over lines.
string(REGEX REPLACE "[ \n]+" " " flat "${out}")
if(rc EQUAL 0 OR NOT flat MATCHES "Reason given by package: the component Qt needs the CXX language enabled; "
   OR NOT flat MATCHES "the package has no component Nope")
  message(FATAL_ERROR "a missing component's reason was not given (${rc}):\n${out}")
endif()

consumer(consumer_fortran -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_Threads=ON)
expect(${WORK_DIR}/consumer_fortran/consumer_fortran "fortran 2 b.dat 1\n")

# C++: Qt Core comes with hestrel::hestrel_qt and hestrel-qt.pc.
unset(ENV{PKG_CONFIG_LIBDIR})
run(pkg-config --cflags --libs hestrel-qt)
if(NOT run_output MATCHES "-std=c\\+\\+17" OR NOT run_output MATCHES "-lQt6Core" OR NOT run_output MATCHES "-lhestrel")
  message(FATAL_ERROR "hestrel-qt.pc lacks C++17, Qt Core or the library: ${run_output}")
endif()
set(interface_source ${WORK_DIR}/interface_link.cpp)
run(${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/interface_list.py ${root}/usr/include/hestrel
    ${SOURCE_DIR}/cmake/exports ${interface_source})
consumer(consumer -DINTERFACE_SOURCE=${interface_source})
foreach(program consumer_cxx consumer_cxx_pc)
  expect(${WORK_DIR}/consumer/${program} "dir/name\n")
endforeach()
expect(${WORK_DIR}/consumer/consumer_cxx_plain "WARNING captured\n")
run(${WORK_DIR}/consumer/interface_link)
if(NOT run_output MATCHES "^[0-9]+ names\n$")
  message(FATAL_ERROR "interface_link printed: ${run_output}")
endif()
message(STATUS "package checks passed")
