# Whole archive: the radio button's class registration must stay. vccontrols comes with it.
set(TEST_LIBS $<LINK_LIBRARY:WHOLE_ARCHIVE,vcbuttons> winforms wigraphics)
