// The portable file-system services: absolute folder paths, folder creation,
// tree removal and file copy.

#include "platform/filesystem.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/errors.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::ReadText;
using orvane::testing::TempFolder;
using orvane::testing::WriteText;

// The current folder in the form the services give back.
std::string CurrentBackslashed() {
  std::string current = fs::current_path().string();
  for (char& c : current) {
    if (c == '/') c = '\\';
  }
  return current == "\\" ? "" : current;
}

// ---------------------------------------------------------------------------
// AbsoluteFolderPath

struct AbsoluteCase {
  std::string name;
  std::string path;
  std::string absolute;  // "{cwd}" stands for the current folder
};

class AbsoluteFolderPathTest : public ::testing::TestWithParam<AbsoluteCase> {};

TEST_P(AbsoluteFolderPathTest, Normalises) {
  std::string expected = GetParam().absolute;
  if (expected.starts_with("{cwd}")) expected = CurrentBackslashed() + expected.substr(5);
  EXPECT_EQ(AbsoluteFolderPath(GetParam().path), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AbsoluteFolderPathTest,
    ::testing::Values(AbsoluteCase{"Absolute", "/a/b", "\\a\\b\\"},
                      AbsoluteCase{"FinalSeparatorKeptOnce", "/a/b//", "\\a\\b\\"},
                      AbsoluteCase{"MixedAndDoubledSeparators", "\\a\\\\b//c", "\\a\\b\\c\\"},
                      AbsoluteCase{"WorkFolderForm", "/tmp/\\orvane42\\", "\\tmp\\orvane42\\"},
                      AbsoluteCase{"DotAndDotDot", "/a/./b/../c", "\\a\\c\\"},
                      AbsoluteCase{"DotDotStopsAtRoot", "/../..", "\\"},
                      AbsoluteCase{"Root", "/", "\\"},
                      AbsoluteCase{"LeadingPairKept", "//server/share/x", "\\\\server\\share\\x\\"},
                      AbsoluteCase{"DriveRoot", "C:\\", "C:\\"},
                      AbsoluteCase{"Drive", "C:/x/../y", "C:\\y\\"},
                      AbsoluteCase{"OtherDriveRelative", "Q:rel", "Q:\\rel\\"},
                      AbsoluteCase{"Relative", "rel/x", "{cwd}\\rel\\x\\"},
                      AbsoluteCase{"RelativeUp", "rel/../x", "{cwd}\\x\\"},
                      AbsoluteCase{"Dot", ".", "{cwd}\\"}, AbsoluteCase{"Empty", "", "{cwd}\\"}),
    [](const auto& tested) { return tested.param.name; });

// ---------------------------------------------------------------------------
// MakeFolders

TEST(MakeFolders, EmptyPathRaisesWithCode3) {
  try {
    MakeFolders("");
    FAIL() << "no failure raised";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot create empty directory");
    EXPECT_EQ(e.ErrorCode(), 3);
  }
}

TEST(MakeFolders, CreatesEveryMissingParent) {
  const TempFolder temp;
  EXPECT_TRUE(MakeFolders(temp.Slash() + "a\\b//c\\"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a/b/c"));
  EXPECT_TRUE(MakeFolders(temp.Slash() + "a/b/c"));  // already there
}

TEST(MakeFolders, FileInTheWayGivesFalse) {
  const TempFolder temp;
  WriteText(temp / "f", "x");
  EXPECT_FALSE(MakeFolders(temp.Slash() + "f/sub"));
  EXPECT_FALSE(fs::exists(temp.Path() / "f/sub"));
}

// ---------------------------------------------------------------------------
// RemoveFolderTree

// Runs check as an ordinary user, so that permission bits hold even when the
// tests run as root (root ignores them). Gives 1 or 0 for check's result, -1
// when the check could not run.
int RunWithoutPrivileges(const std::function<bool()>& check) {
  const auto run = [&]() -> int {
    try {
      return check() ? 1 : 0;
    } catch (...) {
      return -1;
    }
  };
  if (::geteuid() != 0) return run();
  const pid_t child = ::fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    ::_exit(dropped ? run() + 1 : 0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) - 1;
}

void MakeTree(const fs::path& root) {
  fs::create_directories(root / "sub/deeper");
  WriteText(root / "top.txt", "1");
  WriteText(root / ".hidden", "2");
  WriteText(root / "sub/file", "3");
  WriteText(root / "sub/.also_hidden", "4");
  WriteText(root / "sub/deeper/noext", "5");
}

struct TreeCase {
  std::string name;
  bool children_only;
};

class RemoveFolderTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(RemoveFolderTreeTest, RemovesNestedAndHiddenEntries) {
  const TempFolder temp;
  const fs::path root = temp.Path() / "tree";
  MakeTree(root);
  EXPECT_TRUE(RemoveFolderTree(root.string() + "\\\\", GetParam().children_only));
  EXPECT_EQ(fs::exists(root), GetParam().children_only);
  if (GetParam().children_only) {
    EXPECT_TRUE(fs::is_empty(root));
  }
}

TEST_P(RemoveFolderTreeTest, MissingFolderGivesFalseUnlessChildrenOnly) {
  const TempFolder temp;
  EXPECT_EQ(RemoveFolderTree(temp / "missing", GetParam().children_only), GetParam().children_only);
}

TEST_P(RemoveFolderTreeTest, LinkedFolderIsNotEntered) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "outside");
  WriteText(temp.Path() / "outside/precious", "keep");
  MakeTree(temp.Path() / "tree");
  fs::create_directory_symlink(temp.Path() / "outside", temp.Path() / "tree/sub/link");
  fs::create_symlink(temp.Path() / "outside/precious", temp.Path() / "tree/filelink");
  EXPECT_TRUE(RemoveFolderTree(temp / "tree", GetParam().children_only));
  EXPECT_EQ(ReadText(temp.Path() / "outside/precious"), "keep");
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp.Path() / "tree/sub")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp.Path() / "tree/filelink")));
}

TEST_P(RemoveFolderTreeTest, EntryThatResistsGivesFalseAndTheRestStays) {
  const TempFolder temp;
  fs::permissions(temp.Path(), fs::perms::all);
  const fs::path root = temp.Path() / "tree";
  const bool children_only = GetParam().children_only;
  const int removed = RunWithoutPrivileges([&] {
    fs::create_directories(root / "locked");
    WriteText(root / "locked/stuck", "x");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    return RemoveFolderTree(root.string(), children_only);
  });
  EXPECT_EQ(removed, 0);
  EXPECT_TRUE(fs::exists(root / "locked/stuck"));
  fs::permissions(root / "locked", fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(Modes, RemoveFolderTreeTest,
                         ::testing::Values(TreeCase{"WholeTree", false},
                                           TreeCase{"ChildrenOnly", true}),
                         [](const auto& tested) { return tested.param.name; });

// ---------------------------------------------------------------------------
// CopyFileData

class CopyFileDataTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  std::string source_ = temp_ / "source.bin";
  std::string target_ = temp_ / "target.bin";
};

class CopySizesTest : public CopyFileDataTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(CopySizesTest, CopiesEveryByte) {
  const auto bytes = orvane::testing::SampleBytes(GetParam(), false);
  orvane::testing::WriteBytes(source_, bytes);
  EXPECT_TRUE(CopyFileData(source_, target_, kCopyOverwrite));
  EXPECT_EQ(orvane::testing::ReadBytes(target_), bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopySizesTest, ::testing::Values(0, 1, 4095, 4096, 4097, 100000));

TEST_F(CopyFileDataTest, ExistingTargetRefusedWithoutOverwrite) {
  WriteText(source_, "new");
  WriteText(target_, "old");
  EXPECT_FALSE(CopyFileData(source_, target_, 0));
  EXPECT_EQ(ReadText(target_), "old");
  EXPECT_TRUE(CopyFileData(source_, target_, kCopyOverwrite));
  EXPECT_EQ(ReadText(target_), "new");
}

TEST_F(CopyFileDataTest, MakeFolderCreatesTheTargetFolder) {
  WriteText(source_, "data");
  const std::string target = temp_.Slash() + "a\\b\\\\copy.txt";
  EXPECT_TRUE(CopyFileData(source_, target, kCopyMakeFolder));
  EXPECT_EQ(ReadText(temp_.Path() / "a/b/copy.txt"), "data");
}

TEST_F(CopyFileDataTest, MakeFolderBlockedGivesFalse) {
  WriteText(source_, "data");
  WriteText(temp_ / "a", "a file where the folder should go");
  EXPECT_FALSE(CopyFileData(source_, temp_.Slash() + "a/copy.txt", kCopyMakeFolder));
}

TEST_F(CopyFileDataTest, TargetInMissingFolderRaisesCreateError) {
  WriteText(source_, "data");
  const std::string target = temp_.Slash() + "missing/copy.txt";
  try {
    CopyFileData(source_, target, kCopyOverwrite);
    FAIL() << "no failure raised";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Unable to create file \"" + target + "\"");
  }
  EXPECT_FALSE(fs::exists(temp_.Path() / "missing"));
}

TEST_F(CopyFileDataTest, MissingSourceRaisesOpenErrorAfterRetrying) {
  const auto start = std::chrono::steady_clock::now();
  try {
    CopyFileData(source_, target_, kCopyOverwrite | kCopyMakeFolder);
    FAIL() << "no failure raised";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Unable to open file \"" + source_ + "\"");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_FALSE(fs::exists(target_));
}

TEST_F(CopyFileDataTest, KeepTimeCarriesTheModificationTime) {
  WriteText(source_, "data");
  std::tm local{};
  local.tm_year = 2001 - 1900;
  local.tm_mon = 1;
  local.tm_mday = 3;
  local.tm_hour = 4;
  local.tm_min = 5;
  local.tm_sec = 7;
  local.tm_isdst = -1;
  const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
  fs::last_write_time(source_,
                      fs::file_time_type::clock::now() + (when - std::chrono::system_clock::now()));
  ASSERT_TRUE(CopyFileData(source_, target_, kCopyKeepTime));
  const auto difference = fs::last_write_time(target_) - fs::last_write_time(source_);
  EXPECT_LE(std::chrono::abs(difference), std::chrono::seconds(2));
}

TEST_F(CopyFileDataTest, WithoutKeepTimeTheTargetIsNew) {
  WriteText(source_, "data");
  fs::last_write_time(source_, fs::file_time_type::clock::now() - std::chrono::hours(48));
  ASSERT_TRUE(CopyFileData(source_, target_, kCopyOverwrite));
  EXPECT_GT(fs::last_write_time(target_) - fs::last_write_time(source_), std::chrono::hours(1));
}

TEST_F(CopyFileDataTest, CopyOntoItselfRaisesAndKeepsTheData) {
  WriteText(source_, "precious");
  const std::string same = temp_.Slash() + "./SOURCE.BIN";
  EXPECT_THROW(CopyFileData(source_, same, kCopyOverwrite), EFCreateError);
  EXPECT_EQ(ReadText(source_), "precious");
}

TEST_F(CopyFileDataTest, ReadFailureRaisesReadError) {
  // Reading this process's memory at offset 0 fails: a source that opens but
  // cannot be read.
  const std::string unreadable = "/proc/self/mem";
  try {
    CopyFileData(unreadable, target_, kCopyOverwrite);
    FAIL() << "no failure raised";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Unable to read from file \"/proc/self/mem\"");
  }
}

TEST_F(CopyFileDataTest, ShortWriteRaisesWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteText(source_, "data");
  try {
    CopyFileData(source_, "/dev/full", kCopyOverwrite);
    FAIL() << "no failure raised";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Unable to write to file \"/dev/full\"");
  }
}

}  // namespace
}  // namespace orvane::platform
