# "Deskbay --version" and "--help" succeed without a display and print the
# version and the usage.
#   cmake -DPROGRAM=... -DVERSION=a.b.c.d -P CheckInfoOptions.cmake

function(answer option expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
      QT_QPA_PLATFORM=xcb ${PROGRAM} ${option}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "Deskbay ${option} ended with ${rc}:\n${out}\n${err}")
  endif()
  string(FIND "${out}" "${expected}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "Deskbay ${option} printed:\n${out}\nexpected it to start with:\n${expected}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

answer(--version "Deskbay ${VERSION}\n")
if(NOT out STREQUAL "Deskbay ${VERSION}\n")
  message(FATAL_ERROR "Deskbay --version printed more than the version:\n${out}")
endif()
answer(--help "Использование: Deskbay [ФАЙЛ...]\n")
answer(-h "Использование: Deskbay [ФАЙЛ...]\n")
