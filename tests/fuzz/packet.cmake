gw_add_fuzzer(fuzz_packet ${CMAKE_CURRENT_LIST_DIR}/fuzz_packet.cpp gwagent_core)
