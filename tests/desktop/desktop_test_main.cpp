// One QCoreApplication for the tests: the image plugin is found through
// the application's library paths (QT_PLUGIN_PATH points at the build
// tree's plugins folder, see CMakeLists.txt).
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
