# One library target per source folder: every .cpp in the folder belongs to it,
# so adding a file needs no edit here.
# Pass QT for folders whose classes need moc.
function(tav_library name dir)
  cmake_parse_arguments(A "QT" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _src)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${A_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${_src})
  if(A_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# One GoogleTest program per test folder, registered as one ctest entry.
# Pass QT for folders whose tests need a QApplication (offscreen): they get
# the shared main of tests/support; the others GoogleTest's own main.
function(tav_test_folder name dir)
  cmake_parse_arguments(A "QT" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _src)
    return()
  endif()
  if(A_QT)
    list(APPEND _src ${PROJECT_SOURCE_DIR}/tests/support/qt_main.cpp)
  endif()
  add_executable(${name} ${_src})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock)
  if(A_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
    if(TARGET tav_scriptedprompts)
      target_link_libraries(${name} PRIVATE tav_scriptedprompts)
    endif()
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAV_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    TIMEOUT 900)
endfunction()
