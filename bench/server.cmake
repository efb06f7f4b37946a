# Round trip ping -> pong over loopback, and commands dispatched per second.
add_executable(server_bench ${CMAKE_CURRENT_LIST_DIR}/server_bench.cpp)
target_include_directories(server_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
target_link_libraries(server_bench PRIVATE tendril_server tendril_platform_scripts)
