include(${CMAKE_CURRENT_LIST_DIR}/../support/xsession.cmake)
set(TEST_LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,scshell>" winshell winforms wigraphics winsys test_xsession)
