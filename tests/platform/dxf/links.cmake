# dxflib (Debian's libdxflib-dev) reads the stand-in's files as a second
# reader the project did not write.
find_package(PkgConfig REQUIRED)
pkg_check_modules(DXFLIB REQUIRED IMPORTED_TARGET dxflib)
target_link_libraries(${name} PRIVATE PkgConfig::DXFLIB)
# The corpus test opens and saves drawings as the stand-in host does.
target_link_libraries(${name} PRIVATE velkhost_drawing)
