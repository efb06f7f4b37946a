# The catalogue: scan time and memory over 1,000 bundles, icon export time.
add_executable(catalogue_bench ${CMAKE_CURRENT_LIST_DIR}/catalogue_bench.cpp)
target_link_libraries(catalogue_bench PRIVATE
    tendril_catalogue tendril_catalogue_fixtures benchmark::benchmark Qt6::Core Qt6::Gui)
