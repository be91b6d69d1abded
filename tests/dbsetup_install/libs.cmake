set(TEST_LIBS dbsetup_install sample_media)
