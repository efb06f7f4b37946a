# The web remote's page in the system's Chromium against the program, over
# loopback: page load and weight, tap to launch, a 4K clipboard image.
if(TARGET tendril)
    file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/web_bench
        CONTENT "#!/bin/sh\nexec ${CMAKE_CURRENT_LIST_DIR}/web_bench.sh $<TARGET_FILE:tendril> $<TARGET_FILE:tendril-phone>\n"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
