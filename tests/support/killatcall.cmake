# The kill tests' preloaded library (tests/support/KillAtCall.c): areas that kill programs
# just before chosen file calls depend on test_kill_at_call (tests/CMakeLists.txt). It is
# built without the sanitizers: it is loaded ahead of their runtime.
if(NOT TARGET test_kill_at_call)
  add_library(test_kill_at_call SHARED ${CMAKE_CURRENT_LIST_DIR}/KillAtCall.c)
  target_compile_options(test_kill_at_call PRIVATE -fno-sanitize=all)
  target_link_options(test_kill_at_call PRIVATE -fno-sanitize=all)
  target_link_libraries(test_kill_at_call PRIVATE ${CMAKE_DL_LIBS})
endif()
