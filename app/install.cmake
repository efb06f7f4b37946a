# What `cmake --install` puts on the system: the program, its desktop entry,
# icon, AppStream metainfo and a systemd user unit for headless runs.
include(GNUInstallDirs)
set(tendril_data ${CMAKE_CURRENT_SOURCE_DIR}/data)
set(tendril_id com.larkspire.Tendril)

install(TARGETS tendril RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${tendril_data}/${tendril_id}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${tendril_data}/${tendril_id}.metainfo.xml
    ${CMAKE_CURRENT_BINARY_DIR}/${tendril_id}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${tendril_id}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${tendril_data}/icons/${tendril_id}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 64 128 256)
    install(FILES ${tendril_data}/icons/${tendril_id}-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${tendril_id}.png)
endforeach()

# The unit names the installed program, so it is written at install time,
# when the prefix is known (packaging installs under another one). Packages
# keep user units in lib/; systemd finds them under share/ for any other
# prefix it searches (/usr/local, ~/.local).
install(CODE "
    set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(unit_dir lib/systemd/user)
    else()
        set(unit_dir share/systemd/user)
    endif()
    set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${unit_dir}/tendril.service\")
    configure_file(\"${tendril_data}/tendril.service.in\" \"\${unit}\" @ONLY)
    message(STATUS \"Installing: \${unit}\")
")
