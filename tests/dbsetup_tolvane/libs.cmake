set(TEST_LIBS dbsetup_tolvane sample_media)
