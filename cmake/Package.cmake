# The release package of the Windows build: `cmake --build --preset windows --target package`
# makes build/windows/package/camcab-<version>-win64.zip with the plug-in, the modules, the
# tools, the sample vehicle ready to drive, the example scenarios and the user's guide.
set(camcab_package_binaries camcab camcab-passthrough camcab-recorder camcab-run camcab-check
    camcab-tune)
foreach(target IN LISTS camcab_package_binaries)
    install(FILES $<TARGET_FILE:${target}> DESTINATION .)
endforeach()
# The sample vehicle holds the plug-in and the pass-through module, so that it can be driven
# (and copied into the simulator) as it comes.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/vehicle/ DESTINATION sample-vehicle)
install(FILES $<TARGET_FILE:camcab> $<TARGET_FILE:camcab-passthrough> DESTINATION sample-vehicle)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/scenarios/ DESTINATION scenarios)
install(FILES ${CMAKE_SOURCE_DIR}/docs/user-guide.md DESTINATION .)
# The binaries carry debug information for the tests' stack traces; the package's do not.
install(CODE "
    file(GLOB_RECURSE binaries \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.exe\")
    foreach(binary IN LISTS binaries)
        execute_process(COMMAND ${CMAKE_STRIP} --strip-debug \${binary} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME camcab)
set(CPACK_PACKAGE_VENDOR camcab)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME camcab-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
