# The X client of the forms' paint tests clicks and grabs the real program's window.
if(NOT TARGET test_xclient)
  add_library(test_xclient STATIC ${CMAKE_CURRENT_LIST_DIR}/../forms_paint/XClient.cpp)
  target_link_libraries(test_xclient PUBLIC X11)
endif()
set(TEST_LIBS tolvane_dialog sample_media test_xclient)
set(TEST_DEPENDS Tolvane install_wizard machine media)
