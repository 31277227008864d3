# Builds the Debian package from the configured build tree and checks what
# it holds: its control fields, the files it installs, and that the installed
# command-line tool runs from the unpacked tree with its private libraries.
#   cmake -DCPACK_COMMAND=... -DCPACK_CONFIG=... -DWORK_DIR=... -DEXPECTED=a;b
#         -DEXAMPLE=... -DEXAMPLE_OUTPUT=... -P CheckDebianPackage.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${rc}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run(${CPACK_COMMAND} -G DEB --config ${CPACK_CONFIG} -B ${WORK_DIR})
file(GLOB debs ${WORK_DIR}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package, found: ${debs}")
endif()

run(dpkg-deb --field ${debs} Package Section Depends)
foreach(field "Package: deskbay" "Section: education" "libpng16-16")
  string(FIND "${out}" "${field}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "control fields lack \"${field}\":\n${out}")
  endif()
endforeach()
if(WITH_QT)
  foreach(field libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-translations-l10n)
    string(FIND "${out}" "${field}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "Depends lacks ${field}:\n${out}")
    endif()
  endforeach()
endif()

run(dpkg-deb --contents ${debs})
set(listing "${out}")
foreach(path IN LISTS EXPECTED)
  string(FIND "${listing}" " ./usr/${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks /usr/${path}:\n${listing}")
  endif()
endforeach()
# Nothing of the build's own: no tests, benchmarks or example generator.
foreach(unwanted "Tests\n" "Bench\n" "make_examples\n" " ./usr/include/")
  string(FIND "${listing}" "${unwanted}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the package holds a build-only file (${unwanted}):\n${listing}")
  endif()
endforeach()

# Debian's own checks: no error and no warning (informational notes pass).
# The package carries no overrides; one would go in
# usr/share/lintian/overrides/deskbay with the reason beside it.
find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is not installed (scripts/setup.sh installs it)")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning --no-tag-display-limit ${debs}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian finds fault with the package (${rc}):\n${out}\n${err}")
endif()

# Unpacked anywhere, the tool finds its libraries through its run path alone.
set(root ${WORK_DIR}/root)
run(dpkg-deb --extract ${debs} ${root})
run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
  ${root}/usr/bin/algtool run ${root}/usr/${EXAMPLE})
file(READ ${EXAMPLE_OUTPUT} expected_output)
if(NOT out STREQUAL expected_output)
  message(FATAL_ERROR "the installed algtool printed:\n${out}\nexpected:\n${expected_output}")
endif()
run(readelf --dynamic ${root}/usr/bin/algtool)
string(FIND "${out}" "[$ORIGIN/../" at)
if(at EQUAL -1)
  message(FATAL_ERROR "algtool's run path is not relative to the program:\n${out}")
endif()
# Every program, library and plug-in finds all it needs inside the unpacked
# tree or on the system.
file(GLOB_RECURSE binaries ${root}/usr/bin/* ${root}/usr/lib/*.so)
foreach(binary IN LISTS binaries)
  file(READ ${binary} magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  run(ldd ${binary})
  string(FIND "${out}" "not found" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${binary} misses a library:\n${out}")
  endif()
endforeach()
# The installed settings file enables the algorithm module and finds it
# among the libraries.
set(ini ${root}/usr/share/deskbay/Deskbay.ini)
if(EXISTS ${ini})
  file(READ ${ini} settings)
  foreach(line "ModuleDir=../lib/deskbay\n" "Flowapp=1,")
    string(FIND "${settings}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the installed settings lack \"${line}\":\n${settings}")
    endif()
  endforeach()
endif()
message(STATUS "${debs}: OK")
