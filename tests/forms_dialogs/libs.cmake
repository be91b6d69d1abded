set(TEST_LIBS winforms)
