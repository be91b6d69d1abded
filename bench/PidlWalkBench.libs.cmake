set(BENCH_LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,scshell>" winshell winforms wigraphics winsys)
