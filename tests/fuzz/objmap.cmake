gw_add_fuzzer(fuzz_objmap ${CMAKE_CURRENT_LIST_DIR}/fuzz_objmap.cpp)
target_include_directories(fuzz_objmap PRIVATE ${CMAKE_SOURCE_DIR}/libgwbus/objects)
