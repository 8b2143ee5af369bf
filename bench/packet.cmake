# Packet build and read against raw MD5 plus AES-256-ECB over the same bytes.
add_executable(bench_packet ${CMAKE_CURRENT_LIST_DIR}/packet_bench.cpp)
target_link_libraries(bench_packet PRIVATE gwbench_support benchmark::benchmark PkgConfig::CRYPTO)
gw_unit_names(bench_packet)
