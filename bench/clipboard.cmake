# requestClipboard answered with a large image, to the reply's last byte.
add_executable(clipboard_bench ${CMAKE_CURRENT_LIST_DIR}/clipboard_bench.cpp)
target_include_directories(clipboard_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
target_link_libraries(clipboard_bench PRIVATE tendril_server tendril_platform_scripts tendril_platform_x11)
