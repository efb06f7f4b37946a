# Figures under hostile input: property-list bombs, identifier lookups, a
# flooding or non-reading phone, a stale settings lock, a FIFO for the
# settings file, an oversized stored selection.
add_executable(hostile_bench ${CMAKE_CURRENT_LIST_DIR}/hostile_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HostilePlists.h ${CMAKE_CURRENT_LIST_DIR}/HostilePlists.cpp)
target_include_directories(hostile_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/server ${CMAKE_SOURCE_DIR}/tests/catalogue)
target_link_libraries(hostile_bench PRIVATE tendril_server tendril_platform_linux tendril_platform_scripts tendril_catalogue_fixtures)
