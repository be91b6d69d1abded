include(${CMAKE_CURRENT_LIST_DIR}/../support/killatcall.cmake)
set(TEST_LIBS winsys)
set(TEST_DEFS WI_KILL_AT_CALL_LIBRARY="$<TARGET_FILE:test_kill_at_call>")
set(TEST_DEPENDS Tolvane install_wizard machine media test_kill_at_call)
