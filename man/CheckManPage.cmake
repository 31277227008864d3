# A manual page renders with man at 80 columns without any warning, and
# names every option its program's usage lists.
#   cmake -DPAGE=... -P CheckManPage.cmake

execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 LC_ALL=C.UTF-8
    man --warnings -l ${PAGE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "man -l ${PAGE} ended with ${rc}:\n${err}")
endif()
get_filename_component(name ${PAGE} NAME_WE)
if(name STREQUAL "algtool")
  set(words run check show new resave render code --lang --style exact lesson --max-steps --trace --vars --canvas --format
    --jobs --version --help "=== " "steps n")
else()
  set(words --version --help F1 F2 F8 F9)
endif()
foreach(word IN LISTS words)
  string(FIND "${out}" "${word}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${PAGE} does not mention \"${word}\"")
  endif()
endforeach()
