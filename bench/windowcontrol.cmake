# Window control under headless KWin and GNOME Shell: the focus report's
# delay and one control call. The script starts each compositor as the
# end-to-end run does and runs the probe inside it.
add_executable(windowcontrol_probe ${CMAKE_CURRENT_LIST_DIR}/windowcontrol_bench.cpp)
target_link_libraries(windowcontrol_probe PRIVATE tendril_platform_linux)
set_target_properties(windowcontrol_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/harness)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/bench/windowcontrol_bench CONTENT "#!/bin/sh
# Each compositor in turn; a missing one is skipped.
for compositor in kwin gnome; do
    BENCH=$<TARGET_FILE:windowcontrol_probe> ${CMAKE_SOURCE_DIR}/tests/e2e/compositor_e2e.sh $compositor \\
        none none ${TENDRIL_GNOME_EXTENSION_DIR}
    status=$?
    [ $status -eq 0 ] || [ $status -eq 77 ] || exit 1
done
" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
