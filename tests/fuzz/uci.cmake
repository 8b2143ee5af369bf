gw_add_fuzzer(fuzz_uci ${CMAKE_CURRENT_LIST_DIR}/fuzz_uci.cpp gw::uci)
