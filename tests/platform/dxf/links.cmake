# dxflib (Debian's libdxflib-dev) reads the stand-in's files as a second
# reader the project did not write.
find_package(PkgConfig REQUIRED)
pkg_check_modules(DXFLIB REQUIRED IMPORTED_TARGET dxflib)
target_link_libraries(${name} PRIVATE PkgConfig::DXFLIB)
# The corpus test opens and saves drawings with the stand-in host, velkhost,
# in plain mode, with the module as built.
add_dependencies(${name} velkhost velkgrx)
target_compile_definitions(${name} PRIVATE VELKHOST_PROGRAM="$<TARGET_FILE:velkhost>"
                           VELKGRX_MODULE="$<TARGET_FILE:velkgrx>")
