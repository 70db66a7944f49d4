# Tests run under Wine through a wrapper that owns one prefix in the build
# folder and registers the proxy/stub DLL in it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(HALVEX_WINEARCH win32)
else()
    set(HALVEX_WINEARCH win64)
endif()
set(HALVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(HALVEX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)

file(GENERATE OUTPUT ${HALVEX_WINE_RUN}
    CONTENT "#!/bin/sh
export HALVEX_WINEPREFIX='${HALVEX_WINEPREFIX}'
export HALVEX_WINEARCH='${HALVEX_WINEARCH}'
export HALVEX_PROXY_DLL='$<TARGET_FILE:HalvexPS>'
exec '${CMAKE_SOURCE_DIR}/tools/wine-run.sh' \"$@\"
"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CMAKE_CROSSCOMPILING_EMULATOR ${HALVEX_WINE_RUN})

# Some machines cannot execute 32-bit programs at all (no IA-32 emulation in
# the kernel), so 32-bit Wine cannot start there. Such a build still compiles
# and links every test program and runs the checks that need no Wine.
if(HALVEX_WINEARCH STREQUAL win32)
    set(halvex_loader /usr/lib/wine/wine)
else()
    set(halvex_loader /usr/lib/wine/wine64)
endif()
execute_process(COMMAND ${halvex_loader} --version
    RESULT_VARIABLE halvex_loader_result OUTPUT_QUIET ERROR_QUIET)
if(halvex_loader_result EQUAL 0)
    set(HALVEX_CAN_RUN ON)
else()
    set(HALVEX_CAN_RUN OFF)
    message(STATUS "Wine cannot run ${HALVEX_WINEARCH} programs on this machine: "
                   "only the tests that need no Wine are registered")
endif()
