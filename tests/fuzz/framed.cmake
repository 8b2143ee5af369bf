gw_add_fuzzer(fuzz_framed ${CMAKE_CURRENT_LIST_DIR}/fuzz_framed.cpp gwagent_core)
