# Baseline decoding speed against libjpeg-turbo (TurboJPEG, a test-only
# peer, never linked into the library). Include from bench/CMakeLists.txt
# (after any glob that already made a target of every *_bench.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)

if(NOT TARGET jpeg_decode_bench)
  add_executable(jpeg_decode_bench ${CMAKE_CURRENT_LIST_DIR}/jpeg_decode_bench.cpp)
  target_link_libraries(jpeg_decode_bench PRIVATE rastkit_static)
  target_compile_options(jpeg_decode_bench PRIVATE ${RK_WARNINGS})
endif()
target_link_libraries(jpeg_decode_bench PRIVATE PkgConfig::BENCH_TURBOJPEG)
