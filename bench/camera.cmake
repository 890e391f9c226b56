# Camera-data pipelines against libjpeg-turbo (TurboJPEG, a test-only peer);
# the inputs come from the camera-data writer in tools/.
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
if(TARGET camera_bench)
  target_link_libraries(camera_bench PRIVATE PkgConfig::BENCH_TURBOJPEG rk_camerawriter)
endif()
