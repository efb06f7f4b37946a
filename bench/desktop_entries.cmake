# The desktop menu in the catalogue: 10,000 desktop entries with themed icons,
# hostile entries and icons, a phone pairing meanwhile.
add_executable(desktop_entries_bench ${CMAKE_CURRENT_LIST_DIR}/desktop_entries_bench.cpp)
target_link_libraries(desktop_entries_bench PRIVATE
    tendril_catalogue tendril_catalogue_fixtures tendril_server tendril_platform_linux tendril_platform_scripts
    benchmark::benchmark Qt6::Core Qt6::Gui)
