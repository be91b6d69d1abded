set(TEST_LIBS winshell)
