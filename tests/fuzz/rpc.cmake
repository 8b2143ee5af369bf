gw_add_fuzzer(fuzz_rpc ${CMAKE_CURRENT_LIST_DIR}/fuzz_rpc.cpp gwagent_core)
