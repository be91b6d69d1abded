# The folder-browse dialog is one of the dialogs a person answers.
set(TEST_LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,scshell>" winshell winforms wigraphics winsys)
