set(TEST_LIBS winforms wigraphics X11)
