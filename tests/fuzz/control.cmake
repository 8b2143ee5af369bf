gw_add_fuzzer(fuzz_control ${CMAKE_CURRENT_LIST_DIR}/fuzz_control.cpp plughost_core)
