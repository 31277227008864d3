# deskbay_version_info(<target> DESCRIPTION <package description>
#                      [FILE_DESCRIPTION <text>] [VERSION <a.b.c.d>] [COPYRIGHT <text>]
#                      [PRODUCT <text>] [COMMENTS <text>] [EMAIL <text>] [URL <text>]
#                      [NO_VERSION])
#
# Embeds the target's version information as one small data section,
# ".deskbay_version", that the modules dialogs read from the file without
# loading it. The section holds one NUL-terminated UTF-8 text:
#
#   DeskbayVersionInfo 1
#   FileVersion=<a.b.c.d>          (absent with NO_VERSION)
#   <Key>=<value>                  (one line per non-empty value)
#
# A value escapes a backslash as "\\" and a line break as "\n". Every library
# and plug-in of the project calls this once; the version defaults to the
# project's.
set(DESKBAY_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp.in)

function(deskbay_version_info target)
  cmake_parse_arguments(V "NO_VERSION"
    "DESCRIPTION;FILE_DESCRIPTION;VERSION;COPYRIGHT;PRODUCT;COMMENTS;EMAIL;URL" "" ${ARGN})
  if(NOT DEFINED V_VERSION)
    set(V_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
    if(PROJECT_VERSION_PATCH)
      set(V_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
    endif()
  endif()
  if(NOT DEFINED V_COPYRIGHT)
    set(V_COPYRIGHT "Разработчики Deskbay")
  endif()
  if(NOT DEFINED V_PRODUCT)
    set(V_PRODUCT "Deskbay")
  endif()

  set(text "DeskbayVersionInfo 1\n")
  if(NOT V_NO_VERSION)
    string(APPEND text "FileVersion=${V_VERSION}\n")
  endif()
  foreach(pair
      "PackageDescription;DESCRIPTION" "FileDescription;FILE_DESCRIPTION"
      "LegalCopyright;COPYRIGHT" "ProductName;PRODUCT" "Comments;COMMENTS"
      "Email;EMAIL" "URL;URL")
    list(GET pair 0 key)
    list(GET pair 1 arg)
    set(value "${V_${arg}}")
    if(NOT value STREQUAL "")
      string(REPLACE "\\" "\\\\" value "${value}")
      string(REPLACE "\n" "\\n" value "${value}")
      string(APPEND text "${key}=${value}\n")
    endif()
  endforeach()

  # The same text as a C++ string literal.
  string(REPLACE "\\" "\\\\" literal "${text}")
  string(REPLACE "\"" "\\\"" literal "${literal}")
  string(REPLACE "\n" "\\n\"\n    \"" literal "${literal}")
  set(DESKBAY_VERSION_LITERAL "\"${literal}\"")

  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_VersionInfo.cpp)
  configure_file(${DESKBAY_VERSION_TEMPLATE} ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
