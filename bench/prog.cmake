# Progressive decoding and encoding speed against libjpeg-turbo (TurboJPEG)
# and stb_image, test-only peers never linked into the library.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_PROG_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)

if(NOT TARGET prog_bench)
  add_executable(prog_bench ${CMAKE_CURRENT_LIST_DIR}/prog_bench.cpp)
  target_link_libraries(prog_bench PRIVATE rastkit_static)
  target_compile_options(prog_bench PRIVATE ${RK_WARNINGS})
endif()
pkg_check_modules(BENCH_PROG_LIBJPEG REQUIRED IMPORTED_TARGET libjpeg)
target_link_libraries(prog_bench PRIVATE PkgConfig::BENCH_PROG_TURBOJPEG PkgConfig::BENCH_PROG_LIBJPEG)
