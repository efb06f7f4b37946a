# No desktop: stand-in services that keep what they are given in memory and
# say plainly what they cannot do. The protocol, transport, catalogue and
# server build and run against them with Qt alone.
add_library(tendril_platform_none STATIC
    none/MemoryPasteboard.h none/MemoryPasteboard.cpp
    none/NoDesktop.h none/NoDesktop.cpp
    none/NonePlatform.cpp
)
target_link_libraries(tendril_platform_none PUBLIC tendril_platform tendril_platform_bundles)

add_library(tendril_platform_system INTERFACE)
target_link_libraries(tendril_platform_system INTERFACE tendril_platform_none)

if(TENDRIL_BUILD_UI)
    message(FATAL_ERROR "The window needs a desktop: configure with -DTENDRIL_BUILD_UI=OFF")
endif()
