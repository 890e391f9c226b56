# Folder browsing in the corvid window: key press to the next picture
# painted, for CAM files and 12-megapixel JPEG files, beside a plain Qt
# viewer (QImageReader, libjpeg-turbo). Included from bench/CMakeLists.txt;
# needs the window program (RK_APP). Not named *_bench.cpp: it links the
# program (and with it the shared library), not the static archive.
if(TARGET corvid_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(corvid_browse_bench ${CMAKE_CURRENT_LIST_DIR}/window_browse.cpp)
  set_target_properties(corvid_browse_bench PROPERTIES AUTOMOC ON)
  target_link_libraries(corvid_browse_bench PRIVATE corvid_ui Qt6::Test)
  target_compile_options(corvid_browse_bench PRIVATE ${RK_WARNINGS})
  target_compile_definitions(corvid_browse_bench PRIVATE RK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
