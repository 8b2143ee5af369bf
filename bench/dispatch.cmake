# One command's dispatch against one raw property read, on its own bus with the configuration simulator.
add_executable(bench_dispatch ${CMAKE_CURRENT_LIST_DIR}/dispatch_bench.cpp)
target_link_libraries(bench_dispatch PRIVATE gwbench_support benchmark::benchmark)
gw_unit_names(bench_dispatch)
