// Advisory locks on Windows (LockFileEx): two lock objects on one file
// behave like two launchers.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/filesystem.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

using orvane::testing::TempFolder;

TEST(LockFile, SharedHoldersExcludeAnExclusiveOne) {
  const TempFolder temp;
  LockFile first(temp / "run.lock");
  LockFile second(temp / "run.lock");
  ASSERT_TRUE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  EXPECT_TRUE(first.Lock(false, false));
  EXPECT_TRUE(second.Lock(false, false));
  EXPECT_FALSE(second.Lock(true, false));  // the first one still holds it shared
  first.Unlock();
  EXPECT_TRUE(second.Lock(true, false));  // the last one out
  EXPECT_FALSE(first.Lock(false, false));
  second.Close();
  EXPECT_TRUE(first.Lock(true, false));
}

TEST(LockFile, ClosedLockLetsTheFolderGo) {
  const TempFolder temp;
  const std::string folder = temp / "orvane42";
  ASSERT_TRUE(MakeFolders(folder));
  LockFile lock(folder + "\\run.lock");
  ASSERT_TRUE(lock.Lock(true, true));
  // An open file resists deletion on Windows; the lock must be closed first.
  EXPECT_FALSE(RemoveFolderTree(folder, false));
  lock.Close();
  EXPECT_TRUE(RemoveFolderTree(folder, false));
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(LockFile, MissingFolderLeavesItClosed) {
  const TempFolder temp;
  LockFile lock(temp / "missing\\run.lock");
  EXPECT_FALSE(lock.IsOpen());
  EXPECT_FALSE(lock.Lock(true, false));
}

}  // namespace
}  // namespace orvane::platform

#endif  // _WIN32
