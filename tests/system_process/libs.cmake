set(TEST_LIBS winsys)
