include(${CMAKE_CURRENT_LIST_DIR}/../support/xsession.cmake)
set(TEST_LIBS wigraphics test_xsession)
