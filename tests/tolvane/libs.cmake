set(TEST_LIBS tolvane_dialog sample_media)
set(TEST_DEPENDS Tolvane machine media)
