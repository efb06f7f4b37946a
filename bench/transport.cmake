# Frame cutting and decoding, and encoding of the largest message.
add_executable(transport_bench ${CMAKE_CURRENT_LIST_DIR}/transport_bench.cpp)
target_link_libraries(transport_bench PRIVATE tendril_transport tendril_protocol benchmark::benchmark)
