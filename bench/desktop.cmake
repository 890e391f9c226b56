# The desktop integration: corvid-thumbnailer (a whole process per file, as
# file managers run it, and the work inside it) and the Qt image plugin's
# read time, each beside Qt's own JPEG reader (libjpeg-turbo) doing the same
# for a JPEG of the same picture. Included from bench/CMakeLists.txt; needs
# the program's build (RK_APP). Not named *_bench.cpp: it links Qt and the
# shared library, not the static archive the folder's glob uses.
if(TARGET corvid_thumbnail AND TARGET corvid_camimage AND TARGET corvid_cam)
  add_executable(corvid_desktop_bench ${CMAKE_CURRENT_LIST_DIR}/desktop_timing.cpp)
  target_link_libraries(corvid_desktop_bench PRIVATE corvid_thumbnail corvid_camimage)
  target_compile_options(corvid_desktop_bench PRIVATE ${RK_WARNINGS})
  target_compile_definitions(corvid_desktop_bench PRIVATE
    RK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    RK_PLUGIN_DIR="${CMAKE_BINARY_DIR}/plugins"
    THUMBNAILER_PATH="$<TARGET_FILE:corvid-thumbnailer>")
  add_dependencies(corvid_desktop_bench corvid-thumbnailer corvid_cam)
endif()
