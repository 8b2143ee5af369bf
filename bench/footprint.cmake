# The agent binary against both simulators: start to first Boot, idle memory against a bare GDBus
# program with the same libraries, and one command end to end against the raw property read.
add_executable(bench_bare_gdbus ${CMAKE_CURRENT_LIST_DIR}/bare_gdbus.cpp)
target_link_libraries(bench_bare_gdbus PRIVATE gwagent_core)
# The same shared libraries as the agent, whether or not this program calls into them.
target_link_options(bench_bare_gdbus PRIVATE -Wl,--no-as-needed)
gw_unit_names(bench_bare_gdbus)

add_executable(bench_agent_footprint ${CMAKE_CURRENT_LIST_DIR}/agent_footprint.cpp)
target_link_libraries(bench_agent_footprint PRIVATE gwbench_support)
add_dependencies(bench_agent_footprint gwagent gwprovision bench_bare_gdbus)
gw_unit_names(bench_agent_footprint)
