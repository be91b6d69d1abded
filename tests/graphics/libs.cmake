set(TEST_LIBS wigraphics)
