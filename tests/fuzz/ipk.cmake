gw_add_fuzzer(fuzz_ipk ${CMAKE_CURRENT_LIST_DIR}/fuzz_ipk.cpp)
