# deskbay_add_test(NAME target SOURCES ... LIBS ...)
# One GoogleTest executable per deliverable, registered case by case in CTest.
function(deskbay_add_test)
  if(NOT DESKBAY_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60)
endfunction()

# deskbay_add_gui_test(NAME target SOURCES ... LIBS ...)
# A GoogleTest executable that drives Qt widgets; it runs on Qt's offscreen
# platform, so no display is needed. The test's main creates the QApplication.
function(deskbay_add_gui_test)
  if(NOT DESKBAY_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/GuiTestMain.cpp)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Widgets Qt6::Test GTest::gtest)
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
