include(${CMAKE_CURRENT_LIST_DIR}/../support/xsession.cmake)
set(TEST_LIBS tolvane_dialog sample_media test_xsession)
set(TEST_DEPENDS Tolvane install_wizard machine media)
