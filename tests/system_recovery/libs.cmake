set(TEST_LIBS winsys)
set(TEST_DEPENDS Tolvane install_wizard machine media)
