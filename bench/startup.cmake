# Start-up of the corvid window: from a running application (the window
# system already connected) to the first painted picture of a CAM file.
# Included from bench/CMakeLists.txt; needs the window program (RK_APP).
# The source is not named *_bench.cpp: those are built by the folder's glob
# against the static library alone, and this one links the program (and
# with it the shared library).
if(TARGET corvid_ui)
  add_executable(corvid_startup_bench ${CMAKE_CURRENT_LIST_DIR}/window_startup.cpp)
  target_link_libraries(corvid_startup_bench PRIVATE corvid_ui)
  target_compile_options(corvid_startup_bench PRIVATE ${RK_WARNINGS})
  target_compile_definitions(corvid_startup_bench PRIVATE RK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
