pkg_check_modules(FREETYPE2 REQUIRED IMPORTED_TARGET freetype2)
set(TEST_LIBS sample_media PkgConfig::FREETYPE2)
