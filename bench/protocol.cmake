# Message codec throughput: large image payloads and small commands.
add_executable(protocol_bench ${CMAKE_CURRENT_LIST_DIR}/protocol_bench.cpp)
target_link_libraries(protocol_bench PRIVATE tendril_protocol benchmark::benchmark)
