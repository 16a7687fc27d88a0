# Writes the linker version script of the shared library from the export
# lists (one name a line, '#' starts a comment): plain names go out as C
# symbols, and every name also as a demangled C++ pattern, so a function is
# matched with its parameter list and ABI tag, and data as it stands.
function(hestrel_write_export_map lists_dir output)
  file(GLOB lists CONFIGURE_DEPENDS ${lists_dir}/*.txt)
  list(SORT lists)
  # An edited list configures anew, as an added one does through the glob.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${lists})
  set(c_names "")
  set(cxx_names "")
  foreach(f IN LISTS lists)
    file(STRINGS ${f} names REGEX "^[^#]")
    foreach(name IN LISTS names)
      string(STRIP "${name}" name)
      if(name STREQUAL "")
        continue()
      endif()
      if(name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        string(APPEND c_names "    ${name};\n")
      endif()
      # The script's unquoted patterns allow letters, digits, '_' and '::'
      # only: any other character ('[', '=', '~', a lone ':') is matched by
      # '?'. What follows the name ('(' or an ABI tag) must not continue it.
      string(REPLACE "::" "\n" glob "${name}")
      string(REGEX REPLACE "[^A-Za-z0-9_\n]" "?" glob "${glob}")
      string(REPLACE "\n" "::" glob "${glob}")
      string(APPEND cxx_names "      \"${name}\";\n      ${glob}[!a-zA-Z0-9_]*;\n")
      # A function template's instance is demangled with its return type in
      # front: "int ns::f<int>(...)".
      if(name MATCHES "<")
        string(APPEND cxx_names "      *?${glob}?*;\n")
      endif()
    endforeach()
  endforeach()
  set(text "HESTREL_0 {\n  global:\n${c_names}    extern \"C++\" {\n${cxx_names}    };\n  local: *;\n};\n")
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
endfunction()
