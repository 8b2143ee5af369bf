# One command's dispatch against one raw property read; runs its own bus and configuration simulator
# with the test harness, so it exists only where the tests are built.
if(TARGET gwtest_harness)
  add_executable(bench_dispatch ${CMAKE_CURRENT_LIST_DIR}/dispatch_bench.cpp)
  target_link_libraries(bench_dispatch PRIVATE gwtest_agent benchmark::benchmark)
  gw_unit_names(bench_dispatch)
else()
  message(STATUS "bench_dispatch is not built: it needs the test harness (GW_TESTS=ON)")
endif()
