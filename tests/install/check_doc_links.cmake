# Every relative link of the documentation leads to a file or folder that
# exists, in the source tree and in the folder the docs are installed to.
# Inputs: SOURCE_DIR, BUILD_DIR (the build whose docs are installed),
# WORK_DIR (a scratch prefix), DOCDIR (the docs' folder under the prefix).

# Checks the links of every file in the list; the folder of each file is
# where its links start. Sets checked_links to how many were followed.
function(check_links)
  set(dead "")
  set(count 0)
  foreach(file IN LISTS ARGN)
    file(READ ${file} text)
    get_filename_component(dir ${file} DIRECTORY)
    # Brackets would merge the elements of a CMake list: marked otherwise.
    string(REPLACE "](" "<link>(" text "${text}")
    string(REPLACE "[" "" text "${text}")
    string(REPLACE "]" "" text "${text}")
    string(REGEX MATCHALL "<link>\\([^)]*\\)" links "${text}")
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^<link>\\(([^)#]*).*\\)$" "\\1" target "${link}")
      # Web addresses and links within the page are not files.
      if(target STREQUAL "" OR target MATCHES "^[a-z]+:")
        continue()
      endif()
      math(EXPR count "${count} + 1")
      if(NOT EXISTS "${dir}/${target}")
        string(APPEND dead "\n  ${file}: ${target}")
      endif()
    endforeach()
  endforeach()
  if(dead)
    message(FATAL_ERROR "dead links:${dead}")
  endif()
  set(checked_links ${count} PARENT_SCOPE)
endfunction()

file(GLOB source_docs ${SOURCE_DIR}/*.md ${SOURCE_DIR}/docs/*.md)
check_links(${source_docs})
set(source_links ${checked_links})

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component doc
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installing the docs failed (${rc}):\n${out}")
endif()
file(GLOB_RECURSE installed_docs ${prefix}/${DOCDIR}/*.md)
check_links(${installed_docs})

# The installed pages are the source's own, with as many links.
list(LENGTH source_docs source_count)
list(LENGTH installed_docs installed_count)
if(NOT installed_count EQUAL source_count OR NOT checked_links EQUAL source_links OR source_links EQUAL 0)
  message(FATAL_ERROR "installed ${installed_count} pages with ${checked_links} links; "
                      "the source has ${source_count} with ${source_links}")
endif()
message(STATUS "${checked_links} links of ${installed_count} pages resolve")
