add_executable(bench_packet ${CMAKE_CURRENT_LIST_DIR}/packet_bench.cpp)
target_link_libraries(bench_packet PRIVATE gwagent_core benchmark::benchmark PkgConfig::CRYPTO)
gw_unit_names(bench_packet)
