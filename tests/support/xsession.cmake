# The tests' X display helper (tests/support/XSession.*): areas that run programs or forms on
# a real X server include this file from their libs.cmake and link test_xsession.
if(NOT TARGET test_xsession)
  find_package(X11 REQUIRED)
  add_library(test_xsession STATIC ${CMAKE_CURRENT_LIST_DIR}/XSession.cpp)
  target_include_directories(test_xsession PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(test_xsession PUBLIC wigraphics X11::X11 X11::Xtst)
endif()
