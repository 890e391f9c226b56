// Auto conversion: output names, the never-overwrite creation with its
// "~NNN_" counter, and the failures it reports.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app_support.h"
#include "auto_convert.h"

using corvid::CreateNewFile;
using corvid::Message;
using corvid::Target;

namespace {

struct NameCase {
  const char* source;
  Target target;
  const char* name;
};
class OutputNames : public ::testing::TestWithParam<NameCase> {};
TEST_P(OutputNames, ExtensionReplacedOrAppended) {
  EXPECT_EQ(corvid::OutputFileName(QString::fromLatin1(GetParam().source), GetParam().target),
            QString::fromLatin1(GetParam().name));
}
INSTANTIATE_TEST_SUITE_P(
    Examples, OutputNames,
    ::testing::Values(NameCase{"IMG00001.CAM", Target::Bmp, "IMG00001.bmp"},
                      NameCase{"A.B", Target::Bmp, "A.bmp"},
                      NameCase{"README", Target::Bmp, "README.bmp"},
                      NameCase{"/d/cam/IMG.CAM", Target::Jpeg, "IMG.jpg"},
                      NameCase{"/d/cam/IMG.CAM", Target::Tiff, "IMG.tif"},
                      // Only the name counts: a dot in a folder is not an extension.
                      NameCase{"/my.dir/photo", Target::Jpeg, "photo.jpg"},
                      NameCase{"/d/a.b.c", Target::Jpeg, "a.b.jpg"},
                      NameCase{"/d/trailing.", Target::Jpeg, "trailing.jpg"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// The output path is a folder, typed with or without its last '/'.
TEST(OutputPrefix, SourceFolderOrTheOutputFolder) {
  EXPECT_EQ(corvid::OutputPrefix("/d/cam/IMG.CAM", ""), "/d/cam/");
  EXPECT_EQ(corvid::OutputPrefix("IMG.CAM", ""), "");
  EXPECT_EQ(corvid::OutputPrefix("/d/cam/IMG.CAM", "/out/"), "/out/");
  EXPECT_EQ(corvid::OutputPrefix("/d/cam/IMG.CAM", "/home/u/Pictures/out") +
                corvid::OutputFileName("/d/cam/lines_text.CAM", Target::Jpeg),
            "/home/u/Pictures/out/lines_text.jpg");
}

TEST(CollisionPrefix, ThreeDigits) {
  EXPECT_EQ(corvid::CollisionPrefix(1), "~001_");
  EXPECT_EQ(corvid::CollisionPrefix(42), "~042_");
  EXPECT_EQ(corvid::CollisionPrefix(998), "~998_");
}

class Creation : public ::testing::Test {
 protected:
  QString prefix() const { return dir_.path() + QLatin1Char('/'); }
  corvid::CreateResult Create(const QByteArray& bytes, const QString& name = "IMG.jpg") {
    return CreateNewFile(prefix(), name, reinterpret_cast<const uint8_t*>(bytes.constData()),
                         static_cast<size_t>(bytes.size()));
  }
  QTemporaryDir dir_;
};

TEST_F(Creation, CounterCountsUpAndNothingIsOverwritten) {
  const auto first = Create("one");
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(first.path, prefix() + "IMG.jpg");
  const auto second = Create("two");
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(second.path, prefix() + "~001_IMG.jpg");
  const auto third = Create("three");
  ASSERT_TRUE(third.ok);
  EXPECT_EQ(third.path, prefix() + "~002_IMG.jpg");
  EXPECT_EQ(apptest::ReadBytes(first.path), "one");
  EXPECT_EQ(apptest::ReadBytes(second.path), "two");
  EXPECT_EQ(apptest::ReadBytes(third.path), "three");
}

TEST_F(Creation, FreeNameInTheMiddleIsTaken) {
  apptest::WriteBytes(prefix() + "IMG.jpg", "x");
  apptest::WriteBytes(prefix() + "~001_IMG.jpg", "x");
  apptest::WriteBytes(prefix() + "~003_IMG.jpg", "x");
  const auto made = Create("new");
  ASSERT_TRUE(made.ok);
  EXPECT_EQ(made.path, prefix() + "~002_IMG.jpg");
}

TEST_F(Creation, StopsAfterCounter998) {
  apptest::WriteBytes(prefix() + "IMG.jpg", "x");
  for (int i = 1; i <= 998; ++i) apptest::WriteBytes(prefix() + corvid::CollisionPrefix(i) + "IMG.jpg", "x");
  const auto made = Create("new");
  EXPECT_FALSE(made.ok);
  EXPECT_EQ(made.failure, Message::FileNameOverflow);
  EXPECT_FALSE(QFile::exists(prefix() + "~999_IMG.jpg"));
  EXPECT_EQ(apptest::Entries(dir_.path()).size(), 999u);
  // One name freed: the next try takes it.
  QFile::remove(prefix() + "~998_IMG.jpg");
  const auto again = Create("new");
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.path, prefix() + "~998_IMG.jpg");
}

TEST_F(Creation, OverlongNameIsInvalid) {
  const auto made = Create("x", QString(300, QLatin1Char('n')) + ".jpg");
  EXPECT_FALSE(made.ok);
  EXPECT_EQ(made.failure, Message::InvalidFileName);
  EXPECT_TRUE(apptest::Entries(dir_.path()).empty());
}

TEST_F(Creation, MissingFolderOrAFileInTheWayCannotBeOpened) {
  const QByteArray bytes = "x";
  auto missing = CreateNewFile(prefix() + "no/such/", "IMG.jpg",
                               reinterpret_cast<const uint8_t*>(bytes.constData()), 1);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.failure, Message::CantOpenFile);
  EXPECT_EQ(missing.path, prefix() + "no/such/IMG.jpg");
  EXPECT_EQ(missing.reason, qt_error_string(ENOENT));
  apptest::WriteBytes(prefix() + "plain", "x");
  auto through = CreateNewFile(prefix() + "plain/", "IMG.jpg",
                               reinterpret_cast<const uint8_t*>(bytes.constData()), 1);
  EXPECT_FALSE(through.ok);
  EXPECT_EQ(through.failure, Message::CantOpenFile);
}

TEST_F(Creation, ReadOnlyFolderCannotBeOpened) {
  const QString folder = prefix() + "locked";
  ASSERT_TRUE(QDir().mkdir(folder));
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
  auto attempt = [&]() {
    const QByteArray bytes = "x";
    return CreateNewFile(folder + "/", "IMG.jpg", reinterpret_cast<const uint8_t*>(bytes.constData()), 1);
  };
  if (::geteuid() != 0) {
    const auto made = attempt();
    EXPECT_FALSE(made.ok);
    EXPECT_EQ(made.failure, Message::CantOpenFile);
  } else {
    // Permissions do not stop root: try as an ordinary user in a child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
      const auto made = attempt();
      ::_exit(!made.ok && made.failure == Message::CantOpenFile ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_FALSE(QFile::exists(folder + "/IMG.jpg"));
  ::chmod(QFile::encodeName(folder).constData(), 0755);
}

TEST_F(Creation, RacingJobsEachGetTheirOwnFile) {
  constexpr int kJobs = 8;
  std::vector<corvid::CreateResult> results(kJobs);
  std::vector<QByteArray> contents(kJobs);
  std::vector<std::thread> threads;
  for (int i = 0; i < kJobs; ++i) {
    contents[i] = QByteArray(4096, static_cast<char>('a' + i));
    threads.emplace_back([&, i] {
      results[i] = CreateNewFile(prefix(), "IMG.jpg",
                                 reinterpret_cast<const uint8_t*>(contents[i].constData()),
                                 static_cast<size_t>(contents[i].size()));
    });
  }
  for (auto& t : threads) t.join();
  std::set<QString> paths;
  for (int i = 0; i < kJobs; ++i) {
    ASSERT_TRUE(results[i].ok);
    paths.insert(results[i].path);
    EXPECT_EQ(apptest::ReadBytes(results[i].path), contents[i]);
  }
  EXPECT_EQ(paths.size(), static_cast<size_t>(kJobs));
  EXPECT_EQ(apptest::Entries(dir_.path()).size(), static_cast<size_t>(kJobs));
  EXPECT_TRUE(paths.count(prefix() + "IMG.jpg"));
  EXPECT_TRUE(paths.count(prefix() + "~007_IMG.jpg"));
}

}  // namespace
