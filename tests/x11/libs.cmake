include(${CMAKE_CURRENT_LIST_DIR}/../support/xsession.cmake)
# wizard_units: the wizard's steps, typed into on a display.
set(TEST_LIBS winforms wigraphics test_xsession wizard_units)
set(TEST_DEPENDS Tolvane install_wizard machine media)
