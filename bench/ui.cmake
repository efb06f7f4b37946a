# The window: start-up time and idle memory, measured by a harness that runs
# itself as the program (kept out of bench/ itself so tools/bench.sh runs it
# once, after the benchmarks).
if(TARGET tendril_app)
    add_executable(ui_startup ${CMAKE_CURRENT_LIST_DIR}/ui_startup.cpp)
    target_link_libraries(ui_startup PRIVATE tendril_app tendril_ui_fixtures)
    set_target_properties(ui_startup PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/harness)
endif()

# Search filtering over 200 apps and row icon rendering.
if(TARGET tendril_ui)
    add_executable(ui_bench ${CMAKE_CURRENT_LIST_DIR}/ui_bench.cpp)
    target_link_libraries(ui_bench PRIVATE tendril_ui tendril_ui_fixtures benchmark::benchmark)
endif()
