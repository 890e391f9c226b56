# Baseline decoding speed against libjpeg-turbo (TurboJPEG, a test-only
# peer, never linked into the library). Included from bench/CMakeLists.txt.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)

add_executable(jpeg_decode_bench ${CMAKE_CURRENT_LIST_DIR}/jpeg_decode_bench.cpp)
target_link_libraries(jpeg_decode_bench PRIVATE rastkit_static PkgConfig::BENCH_TURBOJPEG)
target_compile_options(jpeg_decode_bench PRIVATE ${RK_WARNINGS})
