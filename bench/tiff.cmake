# TIFF reading and writing speed against libtiff (a test-only peer, never
# linked into the library). Include from bench/CMakeLists.txt (after the
# glob that made a target of every *_bench.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_LIBTIFF REQUIRED IMPORTED_TARGET libtiff-4)

if(NOT TARGET tiff_bench)
  add_executable(tiff_bench ${CMAKE_CURRENT_LIST_DIR}/tiff_bench.cpp)
  target_link_libraries(tiff_bench PRIVATE rastkit_static)
  target_compile_options(tiff_bench PRIVATE ${RK_WARNINGS})
endif()
target_link_libraries(tiff_bench PRIVATE PkgConfig::BENCH_LIBTIFF)
