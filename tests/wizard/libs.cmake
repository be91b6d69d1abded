set(TEST_LIBS wizard_units sample_media)
set(TEST_DEFS WI_PROGRAM_INSTALL=1)
set(TEST_DEPENDS install_wizard machine media)
