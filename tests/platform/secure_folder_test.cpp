// The work-folder check: a folder made owner-only when missing, and refused
// when someone else could have placed or changed it. Nothing is removed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::TempFolder;
using orvane::testing::WriteText;

TEST(SecureWorkFolder, MissingFolderIsMadeOwnerOnly) {
  const TempFolder temp;
  const std::string work = temp.Slash() + "parent\\\\orvane42\\";
  SecureWorkFolder(work);
  const fs::path made = temp.Path() / "parent/orvane42";
  ASSERT_TRUE(fs::is_directory(made));
  EXPECT_EQ(fs::status(made).permissions() & fs::perms::mask, fs::perms::owner_all);
  SecureWorkFolder(work);  // an owner-only folder of ours passes
}

enum class Trap { kSymlink, kGroupWritable, kOthersWritable, kFile, kOtherOwner };

struct TrapCase {
  std::string name;
  Trap trap;
};

class UnsafeWorkFolderTest : public ::testing::TestWithParam<TrapCase> {};

TEST_P(UnsafeWorkFolderTest, RaisesAndRemovesNothing) {
  const TempFolder temp;
  const fs::path work = temp.Path() / "orvane42";
  const fs::path elsewhere = temp.Path() / "elsewhere";
  fs::create_directory(elsewhere);
  WriteText(elsewhere / "keep", "x");
  switch (GetParam().trap) {
    case Trap::kSymlink:
      fs::create_directory_symlink(elsewhere, work);
      break;
    case Trap::kGroupWritable:
      fs::create_directory(work);
      fs::permissions(work, fs::perms::owner_all | fs::perms::group_all);
      break;
    case Trap::kOthersWritable:
      fs::create_directory(work);
      fs::permissions(work, fs::perms::owner_all | fs::perms::others_write);
      break;
    case Trap::kFile:
      WriteText(work, "not a folder");
      break;
    case Trap::kOtherOwner:
      if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
      fs::create_directory(work);
      fs::permissions(work, fs::perms::owner_all);
      ASSERT_EQ(::chown(work.c_str(), 65534, 65534), 0);
      break;
  }
  try {
    SecureWorkFolder(work.string() + "\\");
    FAIL() << "no failure raised";
  } catch (const EInOutError& e) {
    EXPECT_NE(e.Message().find(work.string()), std::string::npos) << e.Message();
    EXPECT_EQ(e.ErrorCode(), 13);
  }
  EXPECT_TRUE(fs::exists(fs::symlink_status(work)));
  EXPECT_TRUE(fs::exists(elsewhere / "keep"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnsafeWorkFolderTest,
                         ::testing::Values(TrapCase{"Symlink", Trap::kSymlink},
                                           TrapCase{"GroupWritable", Trap::kGroupWritable},
                                           TrapCase{"OthersWritable", Trap::kOthersWritable},
                                           TrapCase{"File", Trap::kFile},
                                           TrapCase{"OtherOwner", Trap::kOtherOwner}),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace orvane::platform
