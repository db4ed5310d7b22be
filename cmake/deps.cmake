# System libraries, all from Debian packages (tools/install_deps.sh).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(EGL REQUIRED IMPORTED_TARGET egl)
pkg_check_modules(PHYSFS REQUIRED IMPORTED_TARGET physfs)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

# stb is header-only.
find_path(STB_INCLUDE_DIR stb_image_write.h PATH_SUFFIXES stb REQUIRED)
add_library(stb INTERFACE)
target_include_directories(stb SYSTEM INTERFACE ${STB_INCLUDE_DIR})

find_package(GTest REQUIRED)
find_package(benchmark QUIET)
