# Running-app monitoring: one poll tick over the real process list plus 500
# sleeping processes, and the server's CPU use while paired and idle.
add_executable(appcontrol_bench ${CMAKE_CURRENT_LIST_DIR}/appcontrol_bench.cpp)
target_link_libraries(appcontrol_bench PRIVATE tendril_server Qt6::Test)
target_compile_definitions(appcontrol_bench PRIVATE TENDRIL_PHONE="$<TARGET_FILE:tendril-phone>")
add_dependencies(appcontrol_bench tendril-phone)
