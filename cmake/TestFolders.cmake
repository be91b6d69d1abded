# Test programs: one per folder below tests/, made of every .cpp file in it.
#   wi_test_folder(<area> LIBS <libraries...> [DEPENDS <targets...>] [DEFINES <defs...>]
#                  [LABELS <labels...>] [X11])
# makes test_<area> from tests/<area>/*.cpp and registers its tests with ctest.
#   DEPENDS  targets (programs, tools) its tests run, built before them; adds label `programs`.
#   X11      its tests start their own X server: links the X session helper
#            (tests/support/XSession.*); adds label `x11`.
#   LABELS   the groups `ctest -L` picks it by (see tests/CMakeLists.txt).
# After the declarations, wi_finish_test_folders() makes one target per label, tests_<label>,
# that builds that group's test programs only, and fails the configuration on a test folder
# that was not declared.
function(wi_test_folder area)
  cmake_parse_arguments(T "X11" "" "LIBS;DEPENDS;DEFINES;LABELS" ${ARGN})
  if(T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "wi_test_folder(${area}): unknown arguments ${T_UNPARSED_ARGUMENTS}")
  endif()
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${area})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    message(FATAL_ERROR "wi_test_folder(${area}): tests/${area} has no .cpp file")
  endif()
  set(labels ${T_LABELS})
  if(T_X11)
    wi_test_xsession()
    list(APPEND T_LIBS test_xsession)
    list(APPEND labels x11)
  endif()
  if(T_DEPENDS)
    list(APPEND labels programs)
  endif()

  set(target test_${area})
  add_executable(${target} ${srcs})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${target} PRIVATE ${T_DEFINES}
    WI_SOURCE_DIR="${CMAKE_SOURCE_DIR}" WI_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(T_DEPENDS)
    add_dependencies(${target} ${T_DEPENDS})
  endif()
  set_property(GLOBAL APPEND PROPERTY WI_TEST_FOLDERS ${area})
  foreach(label ${labels})
    set_property(GLOBAL APPEND PROPERTY WI_TEST_LABELS ${label})
    set_property(GLOBAL APPEND PROPERTY WI_TESTS_LABELLED_${label} ${target})
  endforeach()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  # The discovery hands its properties on as one flat list, which splits a list of labels:
  # a file that ctest reads after the discovery's own labels the tests it listed.
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_labels.cmake)
  file(WRITE ${labels_file} "if(${target}_TESTS)\n"
       "  set_tests_properties(\${${target}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()

# The tests' X display helper, built once for the folders that declare X11.
function(wi_test_xsession)
  if(TARGET test_xsession)
    return()
  endif()
  find_package(X11 REQUIRED)
  add_library(test_xsession STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/XSession.cpp)
  target_include_directories(test_xsession PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(test_xsession PUBLIC wigraphics X11::X11 X11::Xtst)
endfunction()

# The group targets; fails on a folder below tests/ that holds tests but was not declared, or
# that still has a libs.cmake (no longer read: its content belongs in the declaration).
function(wi_finish_test_folders)
  get_property(labels GLOBAL PROPERTY WI_TEST_LABELS)
  list(REMOVE_DUPLICATES labels)
  foreach(label ${labels})
    get_property(targets GLOBAL PROPERTY WI_TESTS_LABELLED_${label})
    add_custom_target(tests_${label})
    add_dependencies(tests_${label} ${targets})
  endforeach()
  get_property(declared GLOBAL PROPERTY WI_TEST_FOLDERS)
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${entries})
    get_filename_component(area ${dir} NAME)
    if(EXISTS ${dir}/libs.cmake)
      message(FATAL_ERROR "tests/${area}/libs.cmake is no longer read: declare the folder "
                          "with wi_test_folder in tests/CMakeLists.txt")
    endif()
    file(GLOB srcs ${dir}/*.cpp)
    if(IS_DIRECTORY ${dir} AND srcs AND NOT area STREQUAL "support" AND NOT area IN_LIST declared)
      message(FATAL_ERROR "tests/${area} is not declared: add wi_test_folder(${area} ...) "
                          "to tests/CMakeLists.txt")
    endif()
  endforeach()
endfunction()
