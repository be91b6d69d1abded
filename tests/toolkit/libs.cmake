set(TEST_LIBS toolkit_install)
