set(TEST_LIBS toolkit_tolvane)
