# The X client of the forms' paint tests grabs the shell list's real window.
if(NOT TARGET test_xclient)
  add_library(test_xclient STATIC ${CMAKE_CURRENT_LIST_DIR}/../forms_paint/XClient.cpp)
  target_link_libraries(test_xclient PUBLIC X11)
endif()
set(TEST_LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,scshell>" winshell winforms wigraphics winsys test_xclient)
