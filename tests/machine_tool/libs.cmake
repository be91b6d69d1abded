set(TEST_LIBS winsys)
set(TEST_DEPENDS machine)
